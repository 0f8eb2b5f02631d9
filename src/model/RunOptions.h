#pragma once

// The general options of a run, held by the main window for the life of the
// program and never stored. The values given here are the defaults.
struct RunOptions {
    int maxSentenceTime = 7;          // seconds a sentence may stay on screen; 0 = unlimited
    double feedbackThreshold = 0.4;   // mean error above which the mid and end feedback is shown
    bool resetAnswersOnFeedback = false;
    bool useSpeech = false;
};
