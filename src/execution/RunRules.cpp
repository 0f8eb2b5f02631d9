#include "execution/RunRules.h"

#include "model/Clock.h"
#include "model/Random.h"
#include "common/Utabella.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

// ---------------------------------------------------------------------------
// Marking

namespace marking {

ImportanceLevel expectedLevel(const Tevidenziatore& model, int n)
{
    if (n < 0 || n >= model.hiddenAnswers.size())
        return daDeterminare;
    return Tevidenziatore::parseTag(model.hiddenAnswers.at(n));
}

int errorSum(const Tevidenziatore& model, int n)
{
    int sum = 0;
    const int last = std::min(n, model.sentenceCount);
    for (int i = 0; i < last; ++i) {
        const int expected = expectedLevel(model, i);
        const int given = model.importanceOf(i);
        if (expected != daDeterminare && given != daDeterminare)
            sum += std::abs(given - expected);
    }
    return sum;
}

long double firstPartMean(const Tevidenziatore& model, int mid)
{
    if (mid <= 0)
        return 0;
    return static_cast<long double>(errorSum(model, mid)) / mid;
}

long double secondPartMean(const Tevidenziatore& model, int mid)
{
    const int n = model.sentenceCount;
    if (n - mid <= 0)
        return 0;
    return static_cast<long double>(errorSum(model, n) - errorSum(model, mid)) / (n - mid);
}

FeedbackKind judgement(const Tevidenziatore& model)
{
    const int n = model.sentenceCount;
    const double mean = n > 0 ? static_cast<double>(errorSum(model, n)) / n : 0.0;
    if (mean < 0.4)
        return FeedbackKind::giuBuo;
    if (mean < 0.7)
        return FeedbackKind::giuDis;
    return FeedbackKind::giuNon;
}

AnswerCounts countAnswers(const Tevidenziatore& model)
{
    AnswerCounts counts;
    for (int i = 0; i < model.sentenceCount; ++i) {
        const QString tag = model.hiddenAnswers.value(i);
        int expected = 0;
        if (tag == QLatin1String("~nonImportante~"))
            expected = 1;
        else if (tag == QLatin1String("~importante~"))
            expected = 2;
        else if (tag == QLatin1String("~moltoImportante~"))
            expected = 3;
        counts.add(expected, model.importanceOf(i));
    }
    return counts;
}

} // namespace marking

QString historyMessage(int number)
{
    switch (number) {
    case 1:
        return QStringLiteral("Torna indietro di 5 frasi");
    case 2:
        return QStringLiteral("Nella prima parte ci sono troppi errori");
    case 3:
        return QStringLiteral("Sei andato bene nella prima parte");
    case 4:
        return QStringLiteral("Nella seconda parte ci sono troppi errori");
    default:
        return QString();
    }
}

int feedbackButtonsFor(FeedbackKind kind)
{
    switch (kind) {
    case FeedbackKind::selErr:
    case FeedbackKind::priErr:
    case FeedbackKind::secErr:
        return offerYes | offerNo;
    default:
        return offerOk;
    }
}

RunHost::~RunHost() = default;

// ---------------------------------------------------------------------------
// The time of an answer

void AnswerStopwatch::restart()
{
    used = 0;
    since = msClock().milliseconds();
}

void AnswerStopwatch::hold()
{
    if (holds++ == 0)
        used += std::max<qint64>(0, msClock().milliseconds() - since);
}

void AnswerStopwatch::release()
{
    if (holds > 0 && --holds == 0)
        since = msClock().milliseconds();
}

qint64 AnswerStopwatch::elapsed() const
{
    return used + (holds == 0 ? std::max<qint64>(0, msClock().milliseconds() - since) : 0);
}

// ---------------------------------------------------------------------------
// The rules of a run

void RunRules::start(Tevidenziatore* text, const RunOptions& options)
{
    model = text;
    threshold = options.feedbackThreshold;
    resetOnFeedback = options.resetAnswersOnFeedback;
    midPoint = text ? text->sentenceCount / 2 : 0;
    firstPartCheck = true;
    secondPartCheck = true;
    jumpPending = false;
    jumpFrom = -1;
    jumpDelay = std::numeric_limits<int>::max();
    randomDraws = 0;
    resetNoted = false;
}

int RunRules::errorSum(int n) const
{
    return model ? marking::errorSum(*model, n) : 0;
}

AnswerCounts RunRules::countAnswers() const
{
    return model ? marking::countAnswers(*model) : AnswerCounts();
}

FeedbackAnswer RunRules::ask(FeedbackKind kind)
{
    return host.showFeedback(kind, feedbackButtonsFor(kind));
}

void RunRules::resetAnswers(int first, int last)
{
    if (!resetOnFeedback)
        return;
    for (int n = first; n <= last; ++n)
        model->setImportance(n, nonImportante);
    resetNoted = true;
    resetFirst = first;
    resetLast = last;
}

void RunRules::addResetEntry()
{
    run.historyFirst << QStringLiteral("-1");
    run.historySecond << QString::number(resetFirst);
    run.historyThird << QString::number(resetLast);
    run.historyTime << QString();
    resetNoted = false;
}

void RunRules::answered(int k, ImportanceLevel level)
{
    if (!model || run.runFinished)
        return;
    run.historyFirst << QString::number(k);
    run.historySecond << QString::number(int(level) - 1);
    run.historyTime << QString::number(answerTime.elapsed());
    run.lastStepError = std::abs(int(level) - int(marking::expectedLevel(*model, k)));
    evaluateFeedback(k);
}

void RunRules::midAndEndWhole(int k, int& message)
{
    const int n = model->sentenceCount;
    const int mid = midPoint;
    if (secondPartCheck && k == n - 1) {
        if (marking::secondPartMean(*model, mid) > threshold) {
            message = 4;
            const FeedbackAnswer answer = ask(FeedbackKind::secErr);
            if (answer == answerYes) {
                resetAnswers(mid, n - 1);
                host.goToSentence(mid, false);
            } else if (answer == answerNo) {
                secondPartCheck = false;
            }
        }
    } else if (firstPartCheck && mid > 0 && k + 1 >= mid) {
        if (marking::firstPartMean(*model, mid) > threshold) {
            message = 2;
            const FeedbackAnswer answer = ask(FeedbackKind::priErr);
            if (answer == answerYes) {
                resetAnswers(0, k);
                host.goToSentence(0, true);
            } else if (answer == answerNo) {
                firstPartCheck = false;
            }
        } else {
            firstPartCheck = false;
            message = 3;
            ask(FeedbackKind::priOk);
        }
    }
}

void RunRules::midAndEndOneByOne(int k, int& message, bool& end)
{
    const int n = model->sentenceCount;
    const int mid = midPoint;
    if (k == n - 1) {
        // The end-of-text check comes at every answer to the last sentence.
        if (marking::secondPartMean(*model, mid) > threshold) {
            message = 4;
            if (ask(FeedbackKind::secErr) == answerYes) {
                secondPartCheck = true;
                resetAnswers(mid, n - 1);
                host.moveOn(mid - 1, false);
            } else {
                secondPartCheck = false;
                end = true;
            }
        } else {
            end = true;
        }
    } else if (!firstPartCheck) {
        host.moveOn(k, true);
    } else if (k + 1 == mid) {
        if (marking::firstPartMean(*model, mid) > threshold) {
            message = 2;
            const FeedbackAnswer answer = ask(FeedbackKind::priErr);
            if (answer == answerYes) {
                resetAnswers(0, k);
                host.moveOn(-1, false);
            } else if (answer == answerNo) {
                // The answered sentence stays on screen.
                firstPartCheck = false;
            }
        } else {
            firstPartCheck = false;
            message = 3;
            ask(FeedbackKind::priOk);
            host.moveOn(k, false);
        }
    } else {
        host.moveOn(k, true);
    }
}

void RunRules::jumpBackCheck(int k, int& message, bool& end)
{
    const int n = model->sentenceCount;
    if (!jumpPending && run.lastStepError == 2) {
        // The question comes on this sentence or on one of the next four
        // (of those that are left, this one included).
        jumpPending = true;
        jumpFrom = k;
        const int left = n - k;
        jumpDelay = randomSource().upTo(left >= 5 ? 4 : left - 1);
        ++randomDraws;
    }
    if (jumpPending && jumpFrom + jumpDelay == k) {
        jumpPending = false;
        message = 1;
        if (ask(FeedbackKind::selErr) == answerYes) {
            const int back = k < jumpBack ? 0 : k - jumpBack;
            resetAnswers(back, k);
            host.showSentenceAtOnce(back);
        } else if (k == n - 1) {
            end = true;
        } else {
            host.dispatchEvents();
            host.moveOn(k, false);
        }
    } else if (k < n - 1) {
        host.moveOn(k, true);
    } else {
        end = true;
    }
}

void RunRules::evaluateFeedback(int k)
{
    if (!model || run.runFinished)
        return;
    const bool whole = run.displayMode == wholeText;
    const int n = model->sentenceCount;
    int message = 0;
    bool end = false;
    resetNoted = false;

    switch (run.feedbackMode) {
    case midAndEnd:
        if (whole)
            midAndEndWhole(k, message);
        else
            midAndEndOneByOne(k, message, end);
        break;
    case everySentence:
        if (!whole)
            jumpBackCheck(k, message, end);
        break;
    case noFeedback:
        if (!whole) {
            if (k < n - 1)
                host.moveOn(k, true);
            else
                end = true;
        }
        break;
    }

    run.historyThird << historyMessage(message);
    if (resetNoted)
        addResetEntry();
    host.recorded(end);
    if (end) {
        finishRun();
        host.closeRun();
    }
    host.dispatchEvents();
}

void RunRules::endCheck()
{
    if (!model || run.runFinished)
        return;
    if (run.feedbackMode != midAndEnd) {
        host.recorded(true);
        finishRun();
        host.disableEnd();
        host.closeRun();
        return;
    }
    host.holdInput();
    resetNoted = false;

    const int n = model->sentenceCount;
    const int mid = midPoint;
    // Both parts are judged before anything is shown.
    bool first = firstPartCheck && mid > 0 && marking::firstPartMean(*model, mid) > threshold;
    const bool second = secondPartCheck && marking::secondPartMean(*model, mid) > threshold;
    bool mayEnd = true;
    if (first) {
        const FeedbackAnswer answer = ask(FeedbackKind::priErr);
        if (answer == answerYes) {
            firstPartCheck = true;
            resetAnswers(0, model->currentSentence);
            host.goToSentence(0, true);
            mayEnd = false;
        } else if (answer == answerNo) {
            firstPartCheck = false;
        }
        first = answer == answerYes;
    }
    if (second && !first) {
        const FeedbackAnswer answer = ask(FeedbackKind::secErr);
        if (answer == answerYes) {
            secondPartCheck = true;
            resetAnswers(mid, n - 1);
            host.goToSentence(mid, false);
            mayEnd = false;
        } else if (answer == answerNo) {
            secondPartCheck = false;
        }
    }
    if (resetNoted)
        addResetEntry();
    host.recorded(mayEnd);
    if (mayEnd) {
        finishRun();
        host.disableEnd();
    }
    host.releaseInput();
    if (mayEnd)
        host.closeRun();
}

void RunRules::finishRun()
{
    if (!model || run.runFinished)
        return;
    host.showJudgement(marking::judgement(*model), countAnswers());
    run.runFinished = true;
    host.saveFinishedRun();
}
