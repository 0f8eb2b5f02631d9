#pragma once

#include <QObject>
#include <QStringList>

// Reading along: texts read aloud one after the other (through the installed
// speech output) while the word being heard is reported, in time with the
// sound (from the speech engine's own word marks). Any key or mouse button
// pressed anywhere in the program stops the reading before the press does
// anything else; a window stops it itself for its switches and joystick. An
// output without word marks reads the texts without reporting words.
class TReadAlong final : public QObject
{
    Q_OBJECT

public:
    explicit TReadAlong(QObject* parent = nullptr);
    ~TReadAlong() override;
    TReadAlong(const TReadAlong&) = delete;
    TReadAlong& operator=(const TReadAlong&) = delete;

    // Stops whatever is being said and reads `texts` in order.
    void read(const QStringList& texts);
    // Stops the reading and the speech; finished() follows when it was reading.
    void stop();
    bool reading() const { return firstNumber > 0; }
    // The texts being read.
    const QStringList& texts() const { return readTexts; }

signals:
    // The sound has reached the word at `start` (characters, `length` long)
    // of text `item`.
    void wordHeard(int item, int start, int length);
    // The reading is over (read to the end, or stopped): no word is heard.
    void finished();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static void wordMark(void* context, int32_t textNumber, int32_t start, int32_t length);
    void onWordMark(int textNumber, int start, int length);
    void end();

    QStringList readTexts;
    int firstNumber = 0;   // the speech engine's number of the first text; 0 when not reading
};
