#pragma once

#include "common/AppContext.h"
#include "common/LevelButtons.h"
#include "common/MarkedTextView.h"
#include "model/Uevidenz.h"

#include <QDialog>
#include <QFont>
#include <memory>

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollBar;
class QUndoCommand;
class QUndoStack;
class TgestoreAlternativoTastiera;
class Trecupero;
class TmemoControllato;

// The teacher's window in which an exercise is made: a text converted into
// sentences, the level of each sentence given with the three level buttons,
// sentences removed, replaced or inserted, the task written, and the exercise
// saved under its long name in the exercises folder.
class Tprepara : public QDialog
{
    Q_OBJECT
public:
    explicit Tprepara(const AppContext& context, QWidget* parent = nullptr);
    ~Tprepara() override;

    // Empty when the window is whole; otherwise why it cannot be shown (a
    // button picture that is missing or unreadable).
    QString loadError() const { return pictureError; }

    // The text model, or none.
    Tevidenziatore* textModel() const { return model.get(); }
    bool textLoaded = false;
    bool saveEnabled = false;
    QString exerciseName;
    bool modified = false;
    // The font the text is drawn in.
    const QFont& textFont() const;

    // The text editor's conversion: `lines` split at `separator` become the
    // window's new, unnamed and modified exercise, shown from the top.
    void takeConvertedText(const QStringList& lines, QChar separator);

    bool confirmDiscard();
    bool saveAs();
    bool loadExercise(const QString& path);
    void relayout();
    void redraw();
    void scrollIntoView(int n);
    void arrangeControls();
    bool handleKey(int key);
    // The keyboard handler is on (keys go to handleKey before any control).
    bool keyHandlerEnabled() const;

    // Offers the unsaved exercises left by preparation windows that are gone
    // (a crash); the one taken up comes back modified. True when one did.
    bool offerRecoveredWork();
    // The mirror of the unsaved exercise in the user's recovery folder.
    Trecupero* recovery() const { return mirror; }

    // The changes of the exercise, which "Annulla" and "Ripeti" go through.
    // Back at the state last saved, the exercise is no longer modified.
    QUndoStack* undoStack() const { return changes; }
    // The whole exercise in the window, as undoing a conversion puts it back.
    struct ExerciseState {
        bool loaded = false;
        QStringList lines;
        QString task;
        QString name;
        int current = 0;
    };
    ExerciseState exerciseState() const;
    void restoreExercise(const ExerciseState& state);
    // The stored sentences `from` (from sentence `first` on) become `to`;
    // sentence `current` is then the current one, brought into view.
    void replaceSentences(int first, const QStringList& from, const QStringList& to, int current);
    // The task text becomes `task`.
    void replaceTask(const QString& task);

    // Controls
    QMenuBar* MainMenu1;
    QMenu* File1;
    QAction* apri1;
    QAction* Salva1;
    QAction* Salvaconnome1;
    QAction* Elimina1;
    QAction* Aprifileditesto1;
    QAction* Esci1;
    QMenu* Modifica1;
    QAction* annullaModifica;
    QAction* ripetiModifica;
    QMenu* Strumenti1;
    QAction* editorditesto1;
    QAction* opzionidivisualizzazione1;
    QMenu* Aiuto1;
    QAction* PreparazioneDelTesto;
    QAction* Consegna;
    QAction* ModificheAgliEsercizi;
    QMenu* PopupMenu1;
    QAction* rimuovi;
    QAction* sostituisci;
    QAction* inseriscisopra;
    QAction* inseriscisotto;
    QAction* annulla1;

    QFrame* panelSfondo;
    TMarkedTextView* PaintCanvas;
    QPushButton* suggBut;
    QFrame* suggPanel;
    QLabel* Panel1;
    QPushButton* CancelBtn;
    TmemoControllato* Memo1;
    QFrame* PanelScroll;
    QScrollBar* ScrollBar1;
    QFrame* PanelBottoni;
    TLevelButtons* levelButtons;
    QPushButton* nonImportanteBut;
    QPushButton* importanteBut;
    QPushButton* moltoImportanteBut;

    // Event handlers
    void PaintCanvasMouseDown(QMouseEvent* event);
    void ScrollBar1Scroll();
    void clickImportanza(QPushButton* button);
    void suggButClick();
    void CancelBtnClick();
    void Memo1Change();
    void File1Click();
    void apri1Click();
    void Salva1Click();
    void Salvaconnome1Click() { saveAs(); }
    void Elimina1Click();
    void Aprifileditesto1Click();
    void Esci1Click() { close(); }
    void editorditesto1Click();
    void opzionidivisualizzazione1Click();
    void PreparazioneDelTestoClick();
    void ConsegnaClick();
    void ModificheAgliEserciziClick();
    void rimuoviClick();
    void sostituisciClick();
    void inseriscisopraClick();
    void inseriscisottoClick();

    // Opens the preparation window modally over `parent`; a window that cannot
    // be made whole is not shown, and the reason is told.
    static void openModal(const AppContext& context, QWidget* parent);

public slots:
    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class DialogOfWindow;
    bool loadPictures();
    void focusLevelButton(QPushButton* button);
    void newModel(std::unique_ptr<Tevidenziatore> fresh);
    void dropModel();
    // The new exercise laid out and shown from its top, the keys on.
    void showFromTop();
    void updateKeyHandler();
    void updateSaveActions();
    void showTask(const QString& task);
    // The exercise changed, was saved, or a change was undone or redone.
    void changesMoved();
    // Records a change the window has just made.
    void recordChange(QUndoCommand* change);
    // Records the change of the sentences from `first` on that were `before`.
    void recordSentences(const QString& what, int first, const QStringList& before,
                         int sentencesAfter, int currentBefore);
    QString taskText() const;
    bool writeExercise(const QString& fileName);
    void openPopupAt(const QPoint& globalPos);
    void openPopupForCurrent();
    void editSentence(bool replace, int insertAt);
    bool hasCurrentSentence() const;
    // The long name chosen in the exercise chooser; empty when none.
    QString chooseExercise(const QString& caption);
    QString exercisesFolder() const { return context.dataRoot + QStringLiteral("esercizi/"); }

    AppContext context;
    std::unique_ptr<Tevidenziatore> model;
    std::unique_ptr<TgestoreAlternativoTastiera> keyHandler;
    // What the window's rules ask of the keyboard handler; it is on only
    // while no dialog of the window and no task panel is showing.
    bool handlerWanted = false;
    int dialogsOpen = 0;
    bool showingTask = false;   // Memo1 is being filled by the window itself
    QUndoStack* changes = nullptr;
    Trecupero* mirror = nullptr;
    QString taskBefore;         // the task text before the edit under way
    int taskSession = 0;        // edits of one opening of the task panel are one change
    QString pictureError;
};

// While it lives, the preparation window counts a dialog of its own as open,
// so the keyboard handler leaves the keys to that dialog.
class DialogOfWindow
{
public:
    explicit DialogOfWindow(Tprepara* window);
    ~DialogOfWindow();
    DialogOfWindow(const DialogOfWindow&) = delete;
    DialogOfWindow& operator=(const DialogOfWindow&) = delete;

private:
    Tprepara* window;
};
