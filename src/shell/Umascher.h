#pragma once

#include "common/AppContext.h"

#include <QString>
#include <QWidget>
#include <memory>

class QLabel;
class QMovie;
class QTranslator;
class TBottoneSeriale;
class QPushButton;
class QToolButton;

// The program folder for an executable in `applicationDir`: that folder when
// it holds the program's files (a build tree), otherwise the installed share
// folder "../share/salienta/".
QString locateProgramFolder(const QString& applicationDir);

// Whether the user's data may lie in the program folder itself: only when it
// is the executable's own folder (a build tree, a copy on a stick or a shared
// folder) and can be written. An installed program folder ("share/salienta")
// belongs to the installation, which the next one replaces, even when the
// user may write it (root, or an installation into the user's own prefix).
bool dataInProgramFolder(const QString& programFolder, const QString& applicationDir);

// The data root. A writable program folder is its own data root. A program
// folder that cannot be written (read-only medium or system-wide install)
// gets `userDataFolder` + its own name + "/", created when missing and seeded
// with "testi", "esercizi" and "risult" from the program folder where they
// are missing. Returns false when the folder cannot be created. The three data
// folders exist afterwards in either case.
bool prepareDataRoot(const QString& programFolder, bool programFolderWritable,
                     const QString& userDataFolder, QString& dataRoot);

// Loads Qt's own Italian texts (standard buttons and dialogs) into
// `translator`; false when they are not installed.
bool loadQtTranslation(QTranslator& translator);

// The main window. It owns the program's context (folders, general options,
// serial switches) and opens every activity, handing each the context.
class Tmaschera : public QWidget
{
    Q_OBJECT
public:
    // `folders` gives the program folder and the data root; the main window
    // adds its serial-switch object.
    explicit Tmaschera(const AppContext& folders, QWidget* parent = nullptr);
    ~Tmaschera() override;

    // The one main window while it exists.
    static Tmaschera* instance();

    // Shows the cover until a key is pressed, then the main window; once its
    // first frame is on screen, finishStart runs.
    void start();
    // Shows the main window (the cover has gone); once its first frame is on
    // screen, finishStart runs.
    void showAfterCover();
    // Starts the animation and, when not running yet, the speech engine with
    // the stored settings; "configura sintesi" follows SpeechAvailable.
    void finishStart();
    void startAnimation();
    // Offers the runs that were interrupted (a crash, a power cut), each in
    // turn; one the pupil wants to go on with opens in the run window.
    void offerInterruptedRuns();

    // What the windows opened here are given; its options are the general
    // options, changed in the options window.
    AppContext& context() { return appContext; }
    const AppContext& context() const { return appContext; }
    const RunOptions defaultOptions;

    // The one serial-switch object, lent to the windows that use switches.
    TBottoneSeriale* bottoneSeriale() const { return serialSwitches.get(); }

    QLabel* paintMaschera;
    QPushButton* opzioniBut;
    QPushButton* preparazioneBut;
    QPushButton* SintesiBut;
    QToolButton* risultatiBut;
    QToolButton* esecuzioneBut;
    QPushButton* ButtonInfo;
    QPushButton* projectBut;

    void opzioniButClick();
    void SintesiButClick();
    void risultatiButClick();
    void ButtonInfoClick();
    void projectButClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QMovie* animation = nullptr;
    std::unique_ptr<TBottoneSeriale> serialSwitches;
    AppContext appContext;
};

// The program's start: the cover is its first window, and the main window is
// built while the cover is on screen (right after the cover's first frame),
// then shown when a key or a click sends the cover away. Gives the main
// window, shown.
std::unique_ptr<Tmaschera> startProgram(const AppContext& folders);
