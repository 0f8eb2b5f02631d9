#pragma once

#include <QChar>
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <array>
#include <memory>
#include <utility>

class QPainter;

// The importance of a sentence. The codes are fixed: they index
// ImportanceColours and the answer codes of a run's history map onto them.
enum ImportanceLevel : quint8 { daDeterminare, nonImportante, importante, moltoImportante };

// How a model builds its text from the lines it is given.
enum TextSource : quint8 {
    fromPlainText,  // split plain text into sentences, all "~nonImportante~"
    copyOf,         // copy the lines unchanged, no task
    fromExercise,   // copy the lines and take the task text
    fromResults,    // copy the "[testo]" lines of a stored run, no task
};

// How a run shows the text, and when it gives feedback (stored with the run).
enum DisplayMode : quint8 { wholeText, sentenceBySentence };
enum FeedbackMode : quint8 { noFeedback, midAndEnd, everySentence };

// Construction parameters of a text model.
struct Tparametri {
    TextSource mode = fromPlainText;
    QStringList source;     // lines to build from (copied)
    QString compito;        // task text, used by fromExercise only
    QChar separator = QLatin1Char('.');  // fromPlainText only: "." (kept) or "\" (dropped)
};

// The record of one run of an exercise.
struct TesercizioSvolto {
    bool runFinished = false;       // no more answers are taken
    QString pupilName;              // upper case
    QStringList pupilInfo;          // free notes about the pupil
    QString exerciseName;           // long name of the exercise
    QString runName;                // name the run is saved under; empty until saved
    DisplayMode displayMode = wholeText;
    FeedbackMode feedbackMode = noFeedback;
    // The history, one entry per index of the lists. A step: sentence
    // index, answer code ("0", "1", "2" for the levels 1, 2, 3), feedback
    // message or empty, and the time the answer took. A reset: "-1", first
    // and last reset sentence, no time.
    QStringList historyFirst;
    QStringList historySecond;
    QStringList historyThird;
    // Milliseconds on the program's clock from the moment the sentence could
    // be answered to the answer, in decimal; empty for a reset, or for a step
    // whose time is not known.
    QStringList historyTime;
    qint32 lastStepError = 0;       // error of the last answer
    // The pupil's profile in words, stored as the last information line
    // ("PROFILO=..."); empty for a pupil without a profile (no line).
    QString profileLine;
};

// What a point of the text hits: the sentence (-1 for none) and its level.
// The two spare words carry nothing; windows copy them with the rest.
struct HitResult {
    qint32 sentence = -1;
    ImportanceLevel level = daDeterminare;
    quint32 spare1 = 0;
    quint32 spare2 = 0;
};

// The colours in which a level is shown wherever it is shown in colour.
struct ImportanceColour {
    QColor fill;    // box brush and pen
    QColor text;
};
// Indexed by ImportanceLevel.
extern const std::array<ImportanceColour, 4> ImportanceColours;
// The colour of the current-sentence frame.
extern const QColor FrameColour;
// The colours of `level`, with any value outside the four levels read as nonImportante.
const ImportanceColour& importanceColour(int level);

// The tag line of a level ("~nonImportante~" ...).
QString tagLineFor(ImportanceLevel level);

// The text of the sentence last painted by Tevidenziatore::paintSentence,
// handed to the speech engine by the run window.
extern QString spokenText;

// A marked text: an ordered list of lines in which every line containing "~"
// is a tag line that opens a sentence and carries its level, followed by the
// sentence's text lines. The model also lays out, paints and hit-tests its
// text on a QPainter whose font is the text font, and writes itself as an
// exercise file or as a run of the results file.
//
// Every operation takes any sentence index; one that does not exist changes
// nothing (importanceOf answers nonImportante).
class Tevidenziatore
{
public:
    static constexpr int sentenceGap = 10;  // space between sentences
    static constexpr int boxPadX = 10;      // horizontal padding of a line's box
    static constexpr int boxPadY = 6;       // vertical padding of a line's box
    static constexpr int topMargin = 10;    // y of the first line, extra height of the layout
    static constexpr int frameWidth = 3;    // inset of the current-sentence frame

    QStringList lines;                  // the marked text
    QString compito;                    // the task text; may hold CR LF pairs
    int currentSentence = 0;            // the framed sentence; -1 for none
    ImportanceLevel currentImportance = nonImportante;
    quint32 hitSpare1 = 0;              // copied from a HitResult by the windows
    quint32 hitSpare2 = 0;
    QStringList hiddenAnswers;          // tag lines kept aside by hideAnswers
    int sentenceCount = 0;              // tag lines; refreshed at construction, removal, insertion
    int leftMargin = 15;                // x of every display line's text

    explicit Tevidenziatore(const Tparametri& params);
    ~Tevidenziatore();
    Tevidenziatore(const Tevidenziatore&) = delete;
    Tevidenziatore& operator=(const Tevidenziatore&) = delete;

    // --- the marked text
    int countSentences() const;
    static ImportanceLevel parseTag(const QString& line);
    ImportanceLevel importanceOf(int n) const;
    void setImportance(int n, ImportanceLevel level);
    void sentenceLines(int n, QStringList& out) const;
    void removeSentence(int n);
    // Inserts a sentence so that it becomes sentence n (0 <= n <= sentenceCount).
    // Before an existing sentence, a sentence without text lines inserts nothing.
    void insertSentence(int n, const QStringList& textLines, ImportanceLevel level);
    // Sentence n as it is stored: its tag line and its text lines.
    QStringList sentenceBlock(int n) const;
    // Replaces the `count` sentences from sentence `first` with the stored
    // sentences `block` (each opened by its tag line), as they were taken by
    // sentenceBlock; `first` may be sentenceCount, to append.
    void replaceSentences(int first, int count, const QStringList& block);
    void hideAnswers();
    void restoreAnswers();

    // --- layout and painting (the painter's font is the text font)
    // The line height: the font's cell height plus twice boxPadY.
    int lineHeight(QPainter& canvas) const;
    // Rewraps every sentence for `width` and returns the total height. After
    // a layout for the same width and font, only the sentences inserted since
    // are wrapped (each sentence starts a display line of its own, so the
    // others keep their lines); the result is the same as a whole layout.
    int layout(int width, QPainter& canvas);
    // The same, measuring each sentence in the style it is printed in
    // (underline for importante, bold for moltoImportante); the canvas's font
    // style is reset afterwards.
    int layoutStyled(int width, QPainter& canvas);
    // Draws the text as seen from scroll position `scroll` down to `bottom`.
    // Only the lines in view are drawn.
    void paintAll(QPainter& canvas, int scroll, bool markCurrent, int bottom);
    // Draws sentence n alone from `top` and sets spokenText to its text.
    void paintSentence(QPainter& canvas, int top, int n, bool markCurrent);
    // One display line with its box (text drawn with the top of its cell at y).
    void drawLine(int x, int y, bool marked, ImportanceLevel level, QPainter& canvas,
                  const QString& text) const;
    // The current-sentence frame of one line.
    void drawFrame(QPainter& canvas, int left, int top, const QColor& fill, int height,
                   int width) const;
    // The sentence under (x, y), y in text coordinates (mouse y + scroll).
    HitResult hitTest(int x, int y, QPainter& canvas);
    // Top and bottom of sentence n in text coordinates.
    std::pair<int, int> sentenceExtent(QPainter& canvas, int n);
    // Height taken by sentence n when shown alone.
    int sentenceHeight(int n, QPainter& canvas);
    // The text of sentence n as it is read aloud: its display lines joined
    // by one space.
    QString sentenceText(int n) const;
    // Where the characters [start, start + length) of sentenceText(n) are
    // drawn: the cell of those characters, in text coordinates of the whole
    // text, or, with `alone`, of the sentence drawn alone from 0. Empty when
    // the range does not lie within one display line of the sentence.
    QRect textRangeRect(QPainter& canvas, int n, int start, int length, bool alone);

    // --- files
    // Writes the model as an exercise file folder + fileName, replacing it
    // atomically. Shows the reason in a message and returns false when the
    // file is not written (content that would not read back, or a write error);
    // the caller shows nothing more.
    bool saveExercise(const QString& folder, const QString& fileName);
    // Appends the run as a block of the results file, with the expected levels
    // in "[testo]". Asks before replacing a run with the same identifier; a
    // replacement is one rewrite of the file (the old block out, the new one
    // at the end), so the file holds the old run or the new one at every
    // moment. The file's lock is held while it is read and written, not while
    // the question waits. False when nothing was written: the user kept the
    // old run, the run holds something that would not read back, the file is
    // read-only or in use elsewhere, or it could not be written (each with a
    // message except the first). `fileFailed`, when given, tells the last
    // three apart from the others: the file was at fault, not the user's
    // choice or the run's content.
    bool writeRun(const QString& folder, const QString& name, const QString& extension,
                  const TesercizioSvolto& run, bool* fileFailed = nullptr);

    // The lines a run stores in "[testo]": `lines` with the tag lines kept by
    // hideAnswers put back in order. The model is not changed.
    QStringList expectedLines() const;

private:
    // Structure of `lines`, rebuilt when `lines` changed (detected through
    // the shared list kept in `indexedLines`).
    struct Sentence {
        int tagLine = 0;        // index in lines
        int firstText = 0;      // text lines before this sentence (display index)
        int textCount = 0;      // text lines of this sentence
    };
    struct TextLine {
        int line = 0;           // index in lines
        int sentence = -1;      // -1 before the first tag line
    };
    // Rebuilds the index when `lines` changed behind the model's back.
    void ensureIndex() const;
    void dropIndex() const;
    void buildIndex() const;
    // Rebuilds the index after a change the model made itself.
    void reindex();
    int tagLineIndex(int n) const;   // -1 when there is no sentence n
    // Width of the text of line `line` in the canvas font (cached per line).
    int lineWidth(QPainter& canvas, int textIndex) const;
    void checkFont(QPainter& canvas) const;
    ImportanceLevel levelOfText(int textIndex) const;
    int textTop(int textIndex, int lh) const;
    void drawConnector(QPainter& canvas, int seam, int widthHere, int widthBefore,
                       ImportanceLevel level, int lh) const;
    int layoutImpl(int width, QPainter& canvas, bool styled);

    mutable QStringList indexedLines;
    mutable bool indexValid = false;
    mutable QVector<Sentence> sentenceIndex;
    mutable QVector<TextLine> textIndex;
    mutable QVector<ImportanceLevel> sentenceLevels;
    mutable QVector<int> widthCache;     // per text line, -1 when not measured
    mutable QFont widthFont;
    mutable int widthDpiX = 0;
    mutable int widthDpiY = 0;

    // The last plain layout: the width, margin, font and resolution it was made for,
    // and the sentences inserted since, numbered as they are now. A layout
    // for the same width and font wraps only those; any other change to
    // `lines` (seen by ensureIndex) makes the next layout a whole one.
    struct LaidOut {
        bool valid = false;
        int width = 0;
        int margin = 0;
        QFont font;
        int dpiX = 0;
        int dpiY = 0;
        QVector<int> changed;   // ascending
    };
    mutable LaidOut laidOut;
};

// An exercise file read into a new text model; null, after the message
// "Errore di lettura del file <name>", when the file cannot be read.
std::unique_ptr<Tevidenziatore> openExercise(const QString& path);

