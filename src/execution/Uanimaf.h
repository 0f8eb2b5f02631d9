#pragma once

#include "access/Uscans.h"
#include "access/SerBtn.h"
#include "execution/FeedbackKind.h"

#include <QDialog>
#include <QImage>
#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>

class QLabel;
class QMovie;
class QTextEdit;
class QPushButton;
class SoundPlayer;
class TTabella;
struct AnswerCounts;
struct AppContext;

// What the feedback window is asked to show.
struct FeedbackRequest {
    QWidget* owner = nullptr;  // the run window
    FeedbackKind kind = FeedbackKind::pictureOnly;
    int offeredButtons = offerOk;
    bool scanningAccess = false;
    AccessDevice device = spaceBarSwitch; // only with scanningAccess
    ScanTiming timing;                    // the pupil's, only with scanningAccess
    bool customSize = false;
    int windowWidth = 0;
    int windowHeight = 0;
    int tableWidth = 0;
};

constexpr int maxSpriteBlocks = 10;
constexpr int maxSpriteValues = 50;

// One sprite block of a feedback script.
struct FeedbackSprite {
    QString file;           // picture, relative to the animation folder
    QImage picture;         // null when missing or unreadable
    QChar letter;
    int number = 0;
    std::array<int, maxSpriteValues> frames{};
    std::array<int, maxSpriteValues> x{};
    std::array<int, maxSpriteValues> y{};
    int frameCount = 0;
    int xCount = 0;
    int yCount = 0;
};

// A feedback script: the picture block and up to ten sprite blocks.
struct FeedbackScript {
    QString picture;        // relative to the animation folder; empty without one
    bool flag = false;
    QList<FeedbackSprite> sprites;
    // What could not be used (missing sprite pictures, values that are not
    // integers, lists too long), for the teacher who edits the scripts.
    QStringList problems;
};

// A file name of a script with the folder separators of this system (scripts
// written on Windows may name "sotto\figura.gif").
QString portablePath(const QString& name);

// Reads the script at `path`; the sprite pictures are looked for in
// `animationFolder`. A missing or unreadable script reads as an empty one.
FeedbackScript readFeedbackScript(const QString& path, const QString& animationFolder);
// The first wave file of `audioFolder` whose name is `name` + anything +
// ".wav" (empty when there is none).
QString feedbackSoundFile(const QString& audioFolder, const QString& name);

// The feedback window: a picture, a message, a sound and the buttons the
// request asks for, answered by mouse, keys or the pupil's scanning device.
class TanimazioneForm : public QDialog
{
    Q_OBJECT

public:
    // The pictures and sounds come from the context's program folder; the
    // serial devices use its serial-switch object (borrowed).
    TanimazioneForm(const FeedbackRequest& request, const AppContext& context);
    ~TanimazioneForm() override;

    const FeedbackRequest& request() const { return req; }
    const FeedbackScript& script() const { return scriptRead; }
    // The sound played at creation (empty when none was found).
    QString soundPath() const { return sound; }
    TScansione* scanning() const { return scan.get(); }
    // The animated picture playing in paintLeft (nullptr for a still one or none).
    QMovie* animation() const { return movie; }
    FeedbackAnswer answer() const { return static_cast<FeedbackAnswer>(result()); }

    QWidget* panelBottom;
    QWidget* panelPulsanti;
    QPushButton* yesBut;
    QPushButton* okBut;
    QPushButton* noBut;
    QWidget* panelLeft;
    QWidget* panelLeftBottom;
    QLabel* paintLeft;
    QTextEdit* Memo1;
    QWidget* panelRight;
    QWidget* paintRight;

    // Shows the table of expected against given answers in paintRight (the
    // final judgement), with the hint that explains its colours.
    void showTable(const AnswerCounts& counts);
    TTabella* table() const { return answerTable.get(); }

    // A press of a serial switch (the window's handler while it exists).
    void serialPress(TBottoneSeriale* sender);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void layoutPanels();
    void showPicture(const QString& path);

    FeedbackRequest req;
    FeedbackScript scriptRead;
    QString sound;
    std::unique_ptr<SoundPlayer> player;
    std::unique_ptr<TScansione> scan;
    std::unique_ptr<TTabella> answerTable;
    QMovie* movie = nullptr;
    TBottoneSeriale* serialSwitches = nullptr;
    TBottoneSeriale::PressHandler keptHandler;
    bool holdsSerial = false;
    int bottomHeight = 49; // the strip of the buttons
};
