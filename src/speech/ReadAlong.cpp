#include "speech/ReadAlong.h"

#include "speech/SpeechEngine.h"
#include "speech/SpeechOutput.h"

#include <QCoreApplication>
#include <QEvent>
#include <QList>

namespace {

// Every reader alive hears every word mark and keeps those of its own texts.
QList<TReadAlong*>& readers()
{
    static QList<TReadAlong*> list;
    return list;
}

} // namespace

TReadAlong::TReadAlong(QObject* parent) : QObject(parent)
{
    if (readers().isEmpty())
        VS_SetWordMarkProc(&TReadAlong::wordMark, nullptr);
    readers().append(this);
    // Seen before the windows' own keyboard and scanning hooks, which were
    // installed earlier.
    QCoreApplication::instance()->installEventFilter(this);
}

TReadAlong::~TReadAlong()
{
    if (reading()) {
        firstNumber = 0;
        stopSpeaking();
    }
    readers().removeAll(this);
    if (readers().isEmpty())
        VS_SetWordMarkProc(nullptr, nullptr);
}

void TReadAlong::wordMark(void*, int32_t textNumber, int32_t start, int32_t length)
{
    // A reader may go (or start another reading) while the others are told.
    const QList<TReadAlong*> all = readers();
    for (TReadAlong* reader : all) {
        if (readers().contains(reader))
            reader->onWordMark(textNumber, start, length);
    }
}

void TReadAlong::read(const QStringList& texts)
{
    stop();
    stopSpeaking();
    if (texts.isEmpty())
        return;
    SpeechOutput& output = speechOutput();
    int first = 0;
    for (int i = 0; i < texts.size(); ++i) {
        output.sayText(texts.at(i));
        if (i == 0)
            first = output.lastTextNumber();
    }
    // Without numbers there are no word marks to follow.
    if (first > 0) {
        readTexts = texts;
        firstNumber = first;
    }
}

void TReadAlong::stop()
{
    if (!reading())
        return;
    firstNumber = 0;
    stopSpeaking();
    end();
}

void TReadAlong::end()
{
    firstNumber = 0;
    readTexts.clear();
    emit finished();
}

void TReadAlong::onWordMark(int textNumber, int start, int length)
{
    if (!reading())
        return;
    if (textNumber == 0) {
        // The speech was stopped from elsewhere.
        end();
        return;
    }
    const int item = textNumber - firstNumber;
    if (item < 0 || item >= readTexts.size())
        return;
    if (start >= 0)
        emit wordHeard(item, start, length);
    else if (item == readTexts.size() - 1)
        end();
}

bool TReadAlong::eventFilter(QObject* watched, QEvent* event)
{
    if (reading()) {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::TouchBegin:
            stop();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}
