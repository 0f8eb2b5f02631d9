#include "authoring/Uprepara.h"

#include "access/Gestoret.h"
#include "authoring/SourceReader.h"
#include "authoring/Uedfrase.h"
#include "authoring/Uedit.h"
#include "authoring/Uloaddel.h"
#include "authoring/Useparat.h"
#include "common/EnterKey.h"
#include "common/Instruct.h"
#include "common/LevelButtons.h"
#include "common/MarkedTextView.h"
#include "common/UQuery.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/Longname.h"
#include "model/PlainText.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>

namespace {

// The name under which `fileName` is in `folder`: the file of that exact name,
// else one whose name differs only in case (a file copied by hand), else
// `fileName` itself.
QString onDisk(const QString& folder, const QString& fileName)
{
    const QDir dir(folder);
    if (fileName.isEmpty() || QFileInfo(dir.filePath(fileName)).isFile())
        return fileName;
    const QStringList files = dir.entryList({fileName}, QDir::Files | QDir::Hidden);
    for (const QString& file : files) {
        if (file.compare(fileName, Qt::CaseInsensitive) == 0)
            return file;
    }
    return fileName;
}

// Why `name` cannot be an exercise's long name; empty when it can.
QString longNameProblem(const QString& name)
{
    if (hasReservedChars({name}))
        return QStringLiteral("Il nome contiene uno dei caratteri riservati ~, [, ]. "
                              "Eliminalo e ripeti l'operazione");
    if (!fitsCp1252(name) || name.contains(QLatin1Char('\r')) || name.contains(QLatin1Char('\n')))
        return QString::fromUtf8("Il nome contiene caratteri che non si possono usare: "
                                 "cambialo e ripeti l'operazione");
    if (name.size() > 255)
        return QString::fromUtf8("Il nome è troppo lungo: può avere al massimo 255 caratteri");
    return {};
}

} // namespace

DialogOfWindow::DialogOfWindow(Tprepara* w) : window(w)
{
    ++window->dialogsOpen;
    window->updateKeyHandler();
}

DialogOfWindow::~DialogOfWindow()
{
    --window->dialogsOpen;
    window->updateKeyHandler();
}

Tprepara::Tprepara(const AppContext& appContext, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      context(appContext)
{
    setObjectName(QStringLiteral("Tprepara"));
    setWindowTitle(QStringLiteral("  preparazione degli esercizi"));
    setMinimumSize(640, 480);

    keyHandler = std::make_unique<TgestoreAlternativoTastiera>(
        qApp, [this](QObject*, int key) { return handleKey(key); }, this);
    keyHandler->enabled = false;

    const auto action = addMenuItem;
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    File1 = MainMenu1->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    apri1 = action(File1, "apri1", QStringLiteral("&Apri esercizio..."));
    Salva1 = action(File1, "Salva1", QStringLiteral("&Salva"));
    Salvaconnome1 = action(File1, "Salvaconnome1", QStringLiteral("Sal&va con nome..."));
    Elimina1 = action(File1, "Elimina1", QStringLiteral("E&limina esercizio..."));
    File1->addSeparator();
    Aprifileditesto1 = action(File1, "Aprifileditesto1", QStringLiteral("Converti file di &testo..."));
    File1->addSeparator();
    Esci1 = action(File1, "Esci1", QStringLiteral("&Esci"));
    Strumenti1 = MainMenu1->addMenu(QStringLiteral("&Strumenti"));
    Strumenti1->setObjectName(QStringLiteral("Strumenti1"));
    editorditesto1 = action(Strumenti1, "editorditesto1", QStringLiteral("&Editor di testo"));
    opzionidivisualizzazione1 =
        action(Strumenti1, "opzionidivisualizzazione1", QStringLiteral("&Scelta del font"));
    Aiuto1 = MainMenu1->addMenu(QStringLiteral("&Aiuto"));
    Aiuto1->setObjectName(QStringLiteral("Aiuto1"));
    PreparazioneDelTesto =
        action(Aiuto1, "PreparazioneDelTesto", QStringLiteral("&Preparazione del testo"));
    Consegna = action(Aiuto1, "Consegna", QStringLiteral("&Consegna"));
    ModificheAgliEsercizi =
        action(Aiuto1, "ModificheAgliEsercizi", QStringLiteral("&Modifiche agli esercizi"));

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    rimuovi = action(PopupMenu1, "rimuovi", QStringLiteral("&rimuovi frase"));
    sostituisci = action(PopupMenu1, "sostituisci", QStringLiteral("&sostituisci/modifica frase..."));
    inseriscisopra = action(PopupMenu1, "inseriscisopra", QStringLiteral("&inserisci frase sopra..."));
    inseriscisotto = action(PopupMenu1, "inseriscisotto", QStringLiteral("i&nserisci frase sotto..."));
    PopupMenu1->addSeparator();
    annulla1 = action(PopupMenu1, "annulla1", QStringLiteral("&annulla"));

    panelSfondo = new QFrame(this);
    panelSfondo->setObjectName(QStringLiteral("panelSfondo"));
    panelSfondo->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panelSfondo->setLineWidth(2);
    PaintCanvas = new TMarkedTextView(16, panelSfondo);
    PaintCanvas->setObjectName(QStringLiteral("PaintCanvas"));

    suggBut = new QPushButton(QStringLiteral("&?"), panelSfondo);
    suggBut->setObjectName(QStringLiteral("suggBut"));
    QFont suggFont = suggBut->font();
    suggFont.setBold(true);
    suggFont.setPixelSize(21);
    suggBut->setFont(suggFont);
    suggBut->resize(29, 28);
    suggBut->setEnabled(false);
    suggBut->setAutoDefault(false);
    suggBut->setToolTip(QStringLiteral("Compito"));

    suggPanel = new QFrame(panelSfondo);
    suggPanel->setObjectName(QStringLiteral("suggPanel"));
    suggPanel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    suggPanel->setAutoFillBackground(true);
    suggPanel->hide();
    Panel1 = new QLabel(QStringLiteral("COMPITO:"), suggPanel);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Panel1->setIndent(8);
    QFont panelFont = Panel1->font();
    panelFont.setBold(true);
    Panel1->setFont(panelFont);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    CancelBtn = new QPushButton(QStringLiteral("&Chiudi"), Panel1);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    Memo1 = new TmemoControllato(suggPanel);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->refuseReserved = true;
    Memo1->maxLength = 255;
    Memo1->setTabChangesFocus(true);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Base, Qt::white);
    memoPalette.setColor(QPalette::Text, QColor(255, 0, 0));
    Memo1->setPalette(memoPalette);
    QFont memoFont = Memo1->font();
    memoFont.setBold(true);
    memoFont.setPointSize(12);
    Memo1->setFont(memoFont);

    PanelScroll = new QFrame(this);
    PanelScroll->setObjectName(QStringLiteral("PanelScroll"));
    ScrollBar1 = new QScrollBar(Qt::Vertical, PanelScroll);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setFocusPolicy(Qt::NoFocus);
    ScrollBar1->setRange(0, 0);
    ScrollBar1->setSingleStep(10);

    PanelBottoni = new QFrame(this);
    PanelBottoni->setObjectName(QStringLiteral("PanelBottoni"));
    PanelBottoni->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelBottoni->setLineWidth(2);
    levelButtons = new TLevelButtons(PanelBottoni);
    levelButtons->setObjectName(QStringLiteral("bottoniLivello"));
    levelButtons->resize(600, 90);
    nonImportanteBut = levelButtons->nonImportanteBut;
    importanteBut = levelButtons->importanteBut;
    moltoImportanteBut = levelButtons->moltoImportanteBut;
    for (QPushButton* button : {nonImportanteBut, importanteBut, moltoImportanteBut})
        button->setAutoDefault(false);
    connect(levelButtons, &TLevelButtons::clicked, this, &Tprepara::clickImportanza);
    setTabOrder(moltoImportanteBut, suggBut);
    setTabOrder(Memo1, CancelBtn);

    PaintCanvas->setScrollBar(ScrollBar1);
    PaintCanvas->setReservedWidth(suggBut->width());
    loadPictures();

    connect(File1, &QMenu::aboutToShow, this, &Tprepara::File1Click);
    connect(apri1, &QAction::triggered, this, &Tprepara::apri1Click);
    connect(Salva1, &QAction::triggered, this, &Tprepara::Salva1Click);
    connect(Salvaconnome1, &QAction::triggered, this, &Tprepara::Salvaconnome1Click);
    connect(Elimina1, &QAction::triggered, this, &Tprepara::Elimina1Click);
    connect(Aprifileditesto1, &QAction::triggered, this, &Tprepara::Aprifileditesto1Click);
    connect(Esci1, &QAction::triggered, this, &Tprepara::Esci1Click);
    connect(editorditesto1, &QAction::triggered, this, &Tprepara::editorditesto1Click);
    connect(opzionidivisualizzazione1, &QAction::triggered, this,
            &Tprepara::opzionidivisualizzazione1Click);
    connect(PreparazioneDelTesto, &QAction::triggered, this, &Tprepara::PreparazioneDelTestoClick);
    connect(Consegna, &QAction::triggered, this, &Tprepara::ConsegnaClick);
    connect(ModificheAgliEsercizi, &QAction::triggered, this,
            &Tprepara::ModificheAgliEserciziClick);
    connect(rimuovi, &QAction::triggered, this, &Tprepara::rimuoviClick);
    connect(sostituisci, &QAction::triggered, this, &Tprepara::sostituisciClick);
    connect(inseriscisopra, &QAction::triggered, this, &Tprepara::inseriscisopraClick);
    connect(inseriscisotto, &QAction::triggered, this, &Tprepara::inseriscisottoClick);
    connect(suggBut, &QPushButton::clicked, this, &Tprepara::suggButClick);
    connect(CancelBtn, &QPushButton::clicked, this, &Tprepara::CancelBtnClick);
    connect(Memo1, &QPlainTextEdit::textChanged, this, &Tprepara::Memo1Change);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &Tprepara::ScrollBar1Scroll);
    connect(PaintCanvas, &TMarkedTextView::pressed, this, &Tprepara::PaintCanvasMouseDown);

    updateSaveActions();
    resize(800, 600);
    arrangeControls();
    focusLevelButton(nonImportanteBut);
}

Tprepara::~Tprepara()
{
    // The controls go before the window's own object: no focus change may reach it then.
    disconnect(qApp, nullptr, this, nullptr);
}

const QFont& Tprepara::textFont() const
{
    return PaintCanvas->textFont();
}

bool Tprepara::loadPictures()
{
    const QString missing = levelButtons->loadPictures(context.programFolder);
    if (missing.isEmpty())
        return true;
    pictureError = QStringLiteral("La finestra di preparazione degli esercizi non si "
                                  "può aprire: manca il file ")
                   + missing + QString::fromUtf8(", o non è un'immagine leggibile.");
    return false;
}

void Tprepara::openModal(const AppContext& context, QWidget* parent)
{
    Tprepara window(context, parent);
    if (!window.loadError().isEmpty()) {
        showMessage(window.loadError());
        return;
    }
    window.exec();
}

void Tprepara::focusLevelButton(QPushButton* button)
{
    levelButtons->focusButton(button, Qt::TabFocusReason);
}

bool Tprepara::keyHandlerEnabled() const
{
    return keyHandler && keyHandler->enabled;
}

void Tprepara::updateKeyHandler()
{
    keyHandler->enabled = handlerWanted && dialogsOpen == 0 && suggPanel->isHidden();
}

void Tprepara::updateSaveActions()
{
    Salva1->setEnabled(saveEnabled);
    Salvaconnome1->setEnabled(saveEnabled);
}

// ---------------------------------------------------------------------------
// Layout and drawing

void Tprepara::arrangeControls()
{
    const int menuHeight = MainMenu1->sizeHint().height();
    MainMenu1->setGeometry(0, 0, width(), menuHeight);
    const int clientHeight = height() - menuHeight;
    const int bevelButtons = PanelBottoni->frameWidth();
    const int bottomHeight = levelButtons->height() + 2 * bevelButtons;
    const int scrollWidth = 21;
    PanelBottoni->setGeometry(0, height() - bottomHeight, width(), bottomHeight);
    PanelScroll->setGeometry(width() - scrollWidth, menuHeight, scrollWidth,
                             clientHeight - bottomHeight);
    ScrollBar1->setGeometry(PanelScroll->rect());
    panelSfondo->setGeometry(0, menuHeight, width() - scrollWidth, clientHeight - bottomHeight);
    PaintCanvas->setGeometry(panelSfondo->contentsRect());

    const int sfondoWidth = panelSfondo->width();
    levelButtons->setGeometry(bevelButtons, bevelButtons, sfondoWidth, levelButtons->height());

    const int bevel = panelSfondo->frameWidth();
    suggBut->move(sfondoWidth - suggBut->width() - bevel, bevel);
    suggPanel->setGeometry(bevel, bevel, sfondoWidth - 2 * bevel, 203);
    const int panelInner = suggPanel->frameWidth();
    Panel1->setGeometry(panelInner, panelInner, suggPanel->width() - 2 * panelInner, 34);
    CancelBtn->setGeometry(Panel1->width() - 96 - 3, 3, 96, 28);
    Memo1->setGeometry(panelInner, panelInner + 34, suggPanel->width() - 2 * panelInner,
                       203 - 34 - 2 * panelInner);
}

void Tprepara::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    // The minimum size keeps the window at 640 x 480 at least.
    arrangeControls();
    if (textLoaded)
        relayout();
}

void Tprepara::relayout()
{
    if (textLoaded && model)
        PaintCanvas->relayout();
}

void Tprepara::redraw()
{
    if (textLoaded && model)
        PaintCanvas->redraw();
}

void Tprepara::scrollIntoView(int n)
{
    if (!model)
        return;
    // The height that shows the text is the picture's.
    PaintCanvas->scrollIntoView(n);
    redraw();
}

void Tprepara::ScrollBar1Scroll()
{
    if (textLoaded)
        redraw();
}

// ---------------------------------------------------------------------------
// The exercise

void Tprepara::newModel(std::unique_ptr<Tevidenziatore> fresh)
{
    model = std::move(fresh);
    PaintCanvas->setText(model.get());
    model->currentSentence = 0;
    textLoaded = true;
    saveEnabled = true;
    suggBut->setEnabled(true);
    showTask(model->compito);
    updateSaveActions();
}

void Tprepara::dropModel()
{
    PaintCanvas->setText(nullptr);
    model.reset();
    textLoaded = false;
    saveEnabled = false;
    exerciseName.clear();
    modified = false;
    suggBut->setEnabled(false);
    suggPanel->hide();
    showTask(QString());
    {
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setRange(0, 0);
    }
    PaintCanvas->redraw();
    updateSaveActions();
    updateKeyHandler();
}

void Tprepara::showTask(const QString& task)
{
    showingTask = true;
    QString shown = task;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Memo1->setPlainText(shown);
    showingTask = false;
}

QString Tprepara::taskText() const
{
    QString task = Memo1->plainText();
    task.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return task;
}

bool Tprepara::hasCurrentSentence() const
{
    return textLoaded && model && model->currentSentence >= 0
           && model->currentSentence < model->sentenceCount;
}

bool Tprepara::loadExercise(const QString& path)
{
    auto loaded = openExercise(path);
    if (!loaded)
        return false;
    newModel(std::move(loaded));
    return true;
}

void Tprepara::takeConvertedText(const QStringList& lines, QChar separator)
{
    // An exercise is windows-1252 with lines of at most 255 characters:
    // longer lines are cut as the text reader cuts them, and characters
    // windows-1252 cannot hold are replaced, which the teacher is told once.
    QList<Replacement> replaced;
    const QStringList storable = replaceOutsideCp1252(cutLongLines(lines), &replaced);
    dropModel();
    Tparametri params;
    params.mode = fromPlainText;
    params.source = storable;
    params.separator = separator;
    newModel(std::make_unique<Tevidenziatore>(params));
    modified = true;
    showFromTop();
    if (!replaced.isEmpty()) {
        const DialogOfWindow dialogOpen(this);
        showMessage(replacementMessage(replaced, QStringLiteral("in un esercizio")));
    }
}

void Tprepara::showFromTop()
{
    {
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setValue(0);
    }
    relayout();
    handlerWanted = true;
    updateKeyHandler();
    focusLevelButton(nonImportanteBut);
}

bool Tprepara::writeExercise(const QString& fileName)
{
    model->compito = taskText();
    return model->saveExercise(exercisesFolder(), onDisk(exercisesFolder(), fileName));
}

bool Tprepara::confirmDiscard()
{
    if (!modified)
        return true;
    const QString text = exerciseName.isEmpty()
        ? QString::fromUtf8("L'esercizio appena creato non è stato salvato. Vuoi salvarlo ?")
        : QString::fromUtf8("L'esercizio è stato modificato ma non è stato salvato. Vuoi salvarlo ?");
    switch (askWhetherToSave(text)) {
    case YesButton:
        return saveAs();
    case NoAnswerButton:
        return true;
    default:
        return false;
    }
}

bool Tprepara::saveAs()
{
    if (!textLoaded || !model)
        return false;
    const DialogOfWindow dialogOpen(this);
    QString preset = exerciseName;
    for (;;) {
        TFormQuery form(this);
        form.setWindowTitle(QStringLiteral("Salva con nome"));
        form.Label1->setText(QStringLiteral("Scrivi il nome dell'esercizio"));
        form.Edit1->setText(preset);
        if (form.exec() != QDialog::Accepted)
            return false;
        const QString name = trimSpaces(form.Edit1->text());
        if (name.isEmpty()) {
            preset = exerciseName;
            showMessage(QStringLiteral("Nessun nome specificato"));
            continue;
        }
        const QString problem = longNameProblem(name);
        if (!problem.isEmpty()) {
            // The name comes back for correction.
            preset = form.Edit1->text();
            showMessage(problem);
            continue;
        }
        const QString fileName = fileNameFor(exercisesFolder(), name);
        if (fileName.isEmpty())
            return false;   // the name table said why
        if (QFileInfo::exists(exercisesFolder() + onDisk(exercisesFolder(), fileName))) {
            const DialogButton answer = askQuestion(
                QStringLiteral("Attenzione!"),
                QStringLiteral("L'esercizio ") + name + QString::fromUtf8(" esiste già. Vuoi sostituirlo ?"),
                YesButton | NoAnswerButton, DialogIcon::Warning);
            if (answer != YesButton) {
                preset = exerciseName;
                continue;
            }
        }
        // A write that fails is told by the writer; the exercise stays modified.
        if (!writeExercise(fileName))
            return false;
        exerciseName = name;
        modified = false;
        return true;
    }
}

// ---------------------------------------------------------------------------
// Commands

void Tprepara::File1Click()
{
    updateSaveActions();
}

void Tprepara::Salva1Click()
{
    if (!textLoaded || !model)
        return;
    if (exerciseName.isEmpty()) {
        saveAs();
        return;
    }
    const QString fileName = fileNameFor(exercisesFolder(), exerciseName);
    if (!fileName.isEmpty() && writeExercise(fileName))
        modified = false;
}

QString Tprepara::chooseExercise(const QString& caption)
{
    const DialogOfWindow dialogOpen(this);
    TcaricaElimina chooser(context, this);
    chooser.setWindowTitle(caption);
    if (chooser.count() == 0) {
        showMessage(QStringLiteral("Non ci sono esercizi"));
        return {};
    }
    if (chooser.exec() != QDialog::Accepted)
        return {};
    return chooser.chosenName();
}

void Tprepara::apri1Click()
{
    if (!confirmDiscard())
        return;
    const QString name = chooseExercise(QStringLiteral("  scegli un esercizio"));
    if (name.isEmpty())
        return;
    dropModel();
    const QString fileName = fileNameFor(exercisesFolder(), name);
    if (fileName.isEmpty())
        return;   // the name table said why
    const QString path = exercisesFolder() + onDisk(exercisesFolder(), fileName);
    if (!QFileInfo(path).isFile()) {
        showMessage(QStringLiteral("L'esercizio ") + name + QStringLiteral(" non esiste"));
        return;
    }
    if (!loadExercise(path))
        return;
    exerciseName = name;
    modified = false;
    showFromTop();
}

void Tprepara::Elimina1Click()
{
    const QString name = chooseExercise(QStringLiteral("  elimina un esercizio"));
    if (name.isEmpty())
        return;
    const QString fileName = fileNameFor(exercisesFolder(), name);
    if (fileName.isEmpty())
        return;
    if (askQuestion(QStringLiteral("Attenzione!"), QStringLiteral("Vuoi eliminare ") + name + QStringLiteral(" ?"),
                    OkButton | CancelButton, DialogIcon::Warning)
        != OkButton)
        return;
    // The file and its entry go together, under the locks of both.
    deleteExercise(exercisesFolder(), onDisk(exercisesFolder(), fileName));
}

void Tprepara::Aprifileditesto1Click()
{
    if (!confirmDiscard())
        return;
    QString path;
    SourceText source;
    QChar separator;
    {
        const DialogOfWindow dialogOpen(this);
        path = dialogs().openFileName(QStringLiteral(" Converti file di testo"),
                                      context.dataRoot + QStringLiteral("testi"), sourceFileFilter());
        if (path.isEmpty())
            return;
        separator = askSeparator(this);
        source = readSourceShowingProgress(this, path);
    }
    if (source.status == SourceText::Cancelled)
        return;
    if (!source.ok()) {
        showMessage(source.error);
        return;
    }
    const QStringList lines = source.lines();
    // An empty text would leave an exercise without sentences in place of
    // the one in the window.
    if (isBlankText(lines)) {
        showMessage(QStringLiteral("Il file ") + QFileInfo(path).fileName() + QStringLiteral(" non contiene testo."));
        return;
    }
    if (hasReservedChars(lines)) {
        showMessage(reservedCharsMessage());
        return;
    }
    takeConvertedText(lines, separator);
}

void Tprepara::editorditesto1Click()
{
    if (!confirmDiscard())
        return;
    {
        const DialogOfWindow dialogOpen(this);
        TeditForm editor(context, this, this);
        editor.exec();
    }
    handlerWanted = true;
    updateKeyHandler();
}

void Tprepara::opzionidivisualizzazione1Click()
{
    const DialogOfWindow dialogOpen(this);
    if (PaintCanvas->chooseFont())
        relayout();
}

void Tprepara::PreparazioneDelTestoClick()
{
    const DialogOfWindow dialogOpen(this);
    showInstructions(this, context.programFolder, QStringLiteral(" Preparazione del testo"), QStringLiteral("preparaz.txt"));
}

void Tprepara::ConsegnaClick()
{
    const DialogOfWindow dialogOpen(this);
    showInstructions(this, context.programFolder, QStringLiteral(" Consegna"), QStringLiteral("consegna.txt"));
}

void Tprepara::ModificheAgliEserciziClick()
{
    const DialogOfWindow dialogOpen(this);
    showInstructions(this, context.programFolder, QStringLiteral(" Modifiche agli esercizi"), QStringLiteral("modifica.txt"));
}

// ---------------------------------------------------------------------------
// Levels, mouse, keys and the task panel

void Tprepara::clickImportanza(QPushButton* button)
{
    if (!textLoaded || !model)
        return;
    modified = true;
    const ImportanceLevel level = levelButtons->levelOf(button);
    model->setImportance(model->currentSentence, level);
    model->currentImportance = level;
    scrollIntoView(model->currentSentence);
}

void Tprepara::PaintCanvasMouseDown(QMouseEvent* event)
{
    if (!textLoaded || !model)
        return;
    const HitResult hit = PaintCanvas->hitTest(event->position().toPoint());
    if (hit.sentence >= 0 && hit.sentence != model->currentSentence) {
        model->currentSentence = hit.sentence;
        model->currentImportance = hit.level;
        model->hitSpare1 = hit.spare1;
        model->hitSpare2 = hit.spare2;
        redraw();
    }
    if (event->button() == Qt::RightButton && event->modifiers() == Qt::NoModifier
        && event->buttons() == Qt::RightButton && event->type() != QEvent::MouseButtonDblClick
        && hit.sentence >= 0)
        openPopupAt(event->globalPosition().toPoint() + QPoint(5, 5));
}

void Tprepara::openPopupAt(const QPoint& globalPos)
{
    const DialogOfWindow dialogOpen(this);
    PopupMenu1->exec(globalPos);
}

void Tprepara::openPopupForCurrent()
{
    if (!hasCurrentSentence())
        return;
    scrollIntoView(model->currentSentence);
    const std::pair<int, int> extent = PaintCanvas->sentenceExtent(model->currentSentence);
    const int y = std::clamp(extent.first - ScrollBar1->value() + 20, 0, PaintCanvas->height() - 1);
    openPopupAt(PaintCanvas->mapToGlobal(QPoint(40, y)));
}

bool Tprepara::handleKey(int key)
{
    if (key == Qt::Key_Escape) {
        // Consumed, unlike the other keys the window acts on, so that the same
        // press does not reach the window again as a second request to close.
        if (!suggPanel->isHidden())
            CancelBtnClick();
        else
            close();
        return true;
    }
    if (!textLoaded || !model)
        return false;
    switch (key) {
    case Qt::Key_End: {
        model->currentSentence = model->sentenceCount - 1;
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setValue(ScrollBar1->maximum());
        redraw();
        return true;
    }
    case Qt::Key_Home: {
        model->currentSentence = 0;
        const QSignalBlocker blocker(ScrollBar1);
        ScrollBar1->setValue(0);
        redraw();
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
        // Round the three level buttons (the window's own focus, also while
        // the window manager has not made it the active window yet).
        levelButtons->focusNext(key == Qt::Key_Right, Qt::TabFocusReason);
        return true;
    case Qt::Key_Up:
        if (model->currentSentence >= 1) {
            --model->currentSentence;
            scrollIntoView(model->currentSentence);
        }
        return true;
    case Qt::Key_Down:
        if (model->currentSentence < model->sentenceCount - 1) {
            ++model->currentSentence;
            scrollIntoView(model->currentSentence);
        }
        return true;
    default:
        return false;
    }
}

void Tprepara::keyPressEvent(QKeyEvent* event)
{
    // Enter presses the focused level button (or "?"), as Space does.
    if (enterPressesFocusedButton(this, event))
        return;
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        // Here only while the keyboard handler is off (it takes Esc itself).
        if (!suggPanel->isHidden())
            CancelBtnClick();
        else
            close();
        event->accept();
        return;
    }
    // The sentence commands from the keyboard: the menu key, or Shift+F10.
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)) {
        openPopupForCurrent();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tprepara::reject()
{
    if (confirmDiscard())
        QDialog::reject();
}

void Tprepara::suggButClick()
{
    if (!textLoaded)
        return;
    suggPanel->show();
    suggPanel->raise();
    Memo1->setFocus();
    updateKeyHandler();
}

void Tprepara::CancelBtnClick()
{
    suggPanel->hide();
    handlerWanted = true;
    updateKeyHandler();
    focusLevelButton(nonImportanteBut);
}

void Tprepara::Memo1Change()
{
    if (!showingTask)
        modified = true;
}

// ---------------------------------------------------------------------------
// Sentence operations

void Tprepara::rimuoviClick()
{
    if (!hasCurrentSentence())
        return;
    if (askQuestion(QStringLiteral("Conferma"), QStringLiteral("Vuoi rimuovere la frase ?"),
                    YesButton | NoAnswerButton, DialogIcon::Question)
        != YesButton)
        return;
    const int removed = model->currentSentence;
    model->removeSentence(removed);
    if (model->sentenceCount == 0)
        model->currentSentence = -1;
    else
        model->currentSentence = removed == 0 ? 0 : removed - 1;
    relayout();
    modified = true;
}

void Tprepara::editSentence(bool replace, int insertAt)
{
    if (!hasCurrentSentence())
        return;
    const int current = model->currentSentence;
    TeditFrase dialog(this);
    dialog.setWindowTitle(replace ? QStringLiteral(" sostituisci la frase")
                                  : QStringLiteral(" inserisci la frase"));
    if (replace) {
        QStringList lines;
        model->sentenceLines(current, lines);
        dialog.setText(lines);
        dialog.setLevel(model->importanceOf(current));
    }
    int result = QDialog::Rejected;
    {
        const DialogOfWindow dialogOpen(this);
        result = dialog.exec();
    }
    handlerWanted = true;
    updateKeyHandler();
    if (result != QDialog::Accepted)
        return;
    const QStringList lines = dialog.textLines();
    const ImportanceLevel level = dialog.chosenLevel();
    if (replace) {
        model->removeSentence(current);
        model->insertSentence(current, lines, level);
    } else {
        model->insertSentence(insertAt, lines, level);
    }
    relayout();
    scrollIntoView(model->currentSentence);
    modified = true;
}

void Tprepara::sostituisciClick()
{
    editSentence(true, 0);
}

void Tprepara::inseriscisopraClick()
{
    if (hasCurrentSentence())
        editSentence(false, model->currentSentence);
}

void Tprepara::inseriscisottoClick()
{
    if (hasCurrentSentence())
        editSentence(false, model->currentSentence + 1);
}
