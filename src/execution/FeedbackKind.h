#pragma once

#include <QString>

// What a feedback window says. The name of a kind names its animation script
// ("animazio/" + name + "1.txt") and its sounds ("audio/" + name + ...).
enum class FeedbackKind : int {
    pictureOnly = 0, // the introduction's picture without a message
    selErr = 1,      // a gross error a few sentences back: go back?
    priErr = 2,      // too many errors in the first part: start again?
    priOk = 3,       // the first part is good
    secErr = 4,      // too many errors in the second part: see it again?
    spieEs = 5,      // the introduction to the exercise
    giuBuo = 6,      // final judgement: good
    giuDis = 7,      // final judgement: fair
    giuNon = 8,      // final judgement: poor
};

// The buttons a feedback offers (bits 0, 1, 2 of FeedbackRequest::offeredButtons).
enum FeedbackButton : int {
    offerYes = 0x1,
    offerNo = 0x2,
    offerOk = 0x4,
};

// How the feedback window was closed (its exec() result).
enum FeedbackAnswer : int {
    answerNone = 0, // closed without a button (the session ends, or Escape with no button offered)
    answerYes = 1,
    answerOk = 2,
    answerNo = 3,
};

// Name of a feedback kind ("spieEs" for pictureOnly); empty for an unknown kind.
QString feedbackKindName(FeedbackKind kind);
// The message of a kind (empty for pictureOnly and unknown kinds).
QString feedbackMessage(FeedbackKind kind);
