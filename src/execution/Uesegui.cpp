#include "execution/Uesegui.h"

#include "access/Gestoret.h"
#include "access/Joystick.h"
#include "access/SerBtn.h"
#include "access/Uregjoy.h"
#include "access/WindowsOver.h"
#include "common/LevelButtons.h"
#include "common/MarkedTextView.h"
#include "common/UQuery.h"
#include "execution/RadioGroup.h"
#include "execution/TimeLimit.h"
#include "execution/Ucaricae.h"
#include "execution/Ucompito.h"
#include "execution/Udomanda.h"
#include "execution/Uprofilo.h"
#include "execution/Uripresa.h"
#include "execution/Usceltae.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/Clock.h"
#include "model/Longname.h"
#include "model/ResultsFile.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechF.h"
#include "speech/ReadAlong.h"
#include "speech/SpeechOutput.h"

#include <QAction>
#include <QComboBox>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int bevel = 2;            // bevel of the answer panel
constexpr int answerHeight = 92;    // the answer buttons: the glyph and its border
constexpr int finHeight = 33;       // the strip of "&fine esercizio"
constexpr int scanGap = 14;         // room for the scanning frame between two buttons
// The room for a frame `margin` thick (the usual one leaves 14).
int scanGapFor(int margin)
{
    return 2 * margin + 2;
}


// The name proposed for a run: the date and time of the program's clock.
QString proposedRunName()
{
    return msClock().dateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
}

QPixmap arrowPicture(bool up)
{
    QPixmap picture(40, 40);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(QColor(0, 0, 160));
    const QPointF upArrow[] = {{20, 4}, {36, 22}, {26, 22}, {26, 36}, {14, 36}, {14, 22}, {4, 22}};
    QPointF arrow[7];
    for (int i = 0; i < 7; ++i)
        arrow[i] = up ? upArrow[i] : QPointF(upArrow[i].x(), 40 - upArrow[i].y());
    painter.drawPolygon(arrow, 7);
    return picture;
}

QPixmap speakerPicture()
{
    QPixmap picture(40, 40);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1.5));
    painter.setBrush(QColor(0, 130, 0));
    const QPointF cone[] = {{6, 15}, {14, 15}, {24, 6}, {24, 34}, {14, 25}, {6, 25}};
    painter.drawPolygon(cone, 6);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(18, 12, 12, 16), -60 * 16, 120 * 16);
    painter.drawArc(QRectF(16, 6, 20, 28), -60 * 16, 120 * 16);
    return picture;
}

} // namespace

// ---------------------------------------------------------------------------
// Creation and destruction

Tesegui::Tesegui(const RunSetup& runSetup, const AppContext& appContext, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      context(appContext), options(appContext.options), setup(runSetup),
      serialSwitches(appContext.serialSwitches)
{
    setObjectName(QStringLiteral("Tesegui"));
    setWindowTitle(QStringLiteral("  esecuzione degli esercizi"));
    setModal(true);
    setMinimumSize(640, 480);
    resize(640, 480);

    QFont textFont = TprofiloForm::defaultTextFont();
    // The pupil's own font, read-aloud and time limit stand for the window's
    // and the general options'.
    const PupilProfile& profile = setup.profile;
    if (!profile.fontFamily.isEmpty()) {
        textFont.setFamily(profile.fontFamily);
        textFont.setPointSize(profile.fontSize);
    }
    if (profile.useSpeech)
        options.useSpeech = *profile.useSpeech;
    if (profile.maxSentenceTime)
        options.maxSentenceTime = *profile.maxSentenceTime;
    if (profile.speechSpeed) {
        keptSpeechSpeed = speechOutput().speed();
        speechOutput().setSpeed(*profile.speechSpeed);
    }
    profileInForce = profile;
    profileInForce.fontFamily = textFont.family();
    profileInForce.fontSize = textFont.pointSize();
    profileInForce.useSpeech = SpeechAvailable && options.useSpeech;
    profileInForce.maxSentenceTime = options.maxSentenceTime;

    buildControls();
    PaintCanvas->setTextFont(textFont);
    buildMenu();

    configurasintesi1->setEnabled(SpeechAvailable);
    keyboard = std::make_unique<TgestoreAlternativoTastiera>(
        qApp, [this](QObject*, int key) { return handleKey(key); }, this);
    if (!SpeechAvailable || !options.useSpeech) {
        for (QPushButton* play : {PlayButton, PlayBut}) {
            play->hide();
            play->setEnabled(false);
        }
        PlayBut->setProperty("tag", -1);
    }
    arrangeControls();

    if (!loadPictures())
        return;
    fitScannedGlyphs();
    PaintCanvas->redraw();

    run.pupilName = setup.pupilName;
    run.pupilInfo = setup.pupilInfo;
    // A pupil with a profile has the values in force stored with each run; a
    // pupil without one stores the run as always.
    if (!setup.profile.isDefault())
        run.profileLine = profileInWords(profileInForce);
    setAccess();
    // Created after the keyboard and scanning hooks, so that a press stops
    // the reading before they see it.
    readAlong = std::make_unique<TReadAlong>();
    connect(readAlong.get(), &TReadAlong::wordHeard, this, &Tesegui::wordHeard);
    connect(readAlong.get(), &TReadAlong::finished, PaintCanvas, &TMarkedTextView::clearWordMark);
    complete = true;
}

Tesegui::~Tesegui()
{
    readAlong.reset();
    windowsOver.reset();
    limit->stop();
    if (keptSpeechSpeed > 0)
        speechOutput().setSpeed(keptSpeechSpeed);
    if (handlerInstalled && serialSwitches)
        serialSwitches->setPressHandler(keptPressHandler);
    // Hooks go in the reverse order of their installation.
    scanning.reset();
    keyboard.reset();
}

void Tesegui::buildControls()
{
    auto outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    outer->setMenuBar(menuBar);

    auto top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(0);
    panelSfondo = new QFrame(this);
    panelSfondo->setObjectName(QStringLiteral("panelSfondo"));
    panelSfondo->setAutoFillBackground(true);
    top->addWidget(panelSfondo, 1);
    PanelScroll = new QFrame(this);
    PanelScroll->setObjectName(QStringLiteral("PanelScroll"));
    auto scrollLayout = new QVBoxLayout(PanelScroll);
    scrollLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBar1 = new QScrollBar(Qt::Vertical, PanelScroll);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setRange(0, 0);
    scrollLayout->addWidget(ScrollBar1);
    top->addWidget(PanelScroll);
    outer->addLayout(top, 1);

    PaintCanvas = new TMarkedTextView(16, panelSfondo);
    PaintCanvas->setObjectName(QStringLiteral("PaintCanvas"));
    PaintCanvas->setScrollBar(ScrollBar1);
    connect(PaintCanvas, &TMarkedTextView::pressed, this, &Tesegui::canvasMouseDown);
    panelSfondo->installEventFilter(this);

    suggBut = new QPushButton(QStringLiteral("?"), panelSfondo);
    suggBut->setObjectName(QStringLiteral("suggBut"));
    QFont bold = suggBut->font();
    bold.setBold(true);
    suggBut->setFont(bold);
    suggBut->resize(29, 28);
    suggBut->setEnabled(false);
    suggBut->setFocusPolicy(Qt::NoFocus);
    PaintCanvas->setReservedWidth(suggBut->width());

    panelBottoni = new QFrame(this);
    panelBottoni->setObjectName(QStringLiteral("panelBottoni"));
    panelBottoni->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panelBottoni->setLineWidth(bevel);
    outer->addWidget(panelBottoni);

    levelButtons = new TLevelButtons(panelBottoni);
    levelButtons->setObjectName(QStringLiteral("bottoniLivello"));
    nonImportanteBut = levelButtons->nonImportanteBut;
    importanteBut = levelButtons->importanteBut;
    moltoImportanteBut = levelButtons->moltoImportanteBut;
    connect(levelButtons, &TLevelButtons::clicked, this,
            [this](QPushButton* button) { clickImportanza(button); });

    PanelFine = new QFrame(panelBottoni);
    PanelFine->setObjectName(QStringLiteral("PanelFine"));
    fineBut = new QPushButton(QStringLiteral("&fine esercizio"), PanelFine);
    fineBut->setObjectName(QStringLiteral("fineBut"));
    fineBut->setEnabled(false);
    fineBut->hide();
    // "&fine esercizio" keeps its underlined letter, but Alt+F belongs to the
    // "&File" menu: the button takes no shortcut of its own.
    fineBut->setShortcut(QKeySequence());
    PlayButton = new QPushButton(PanelFine);
    PlayButton->setObjectName(QStringLiteral("PlayButton"));
    PlayButton->setIcon(speakerPicture());
    PlayButton->setIconSize(QSize(26, 26));
    PlayButton->setToolTip(QStringLiteral("Leggi la frase"));

    PanelScansione = new QFrame(panelBottoni);
    PanelScansione->setObjectName(QStringLiteral("PanelScansione"));
    PanelScansione->hide();
    auto scanned = [this](const char* name, int tag) {
        auto button = new QPushButton(PanelScansione);
        button->setObjectName(QLatin1String(name));
        button->setProperty("tag", tag);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    suBut = scanned("suBut", 0);
    giuBut = scanned("giuBut", 1);
    PlayBut = scanned("PlayBut", 2);
    nonBot = scanned("nonBot", 3);
    impBot = scanned("impBot", 4);
    moltoBot = scanned("moltoBot", 5);
    fineBot = scanned("fineBot", -1);
    // What auditory scanning says of each button.
    const std::pair<QPushButton*, const char*> spoken[] = {
        {suBut, "su"},        {giuBut, "giù"},          {PlayBut, "leggi"},
        {nonBot, "non importante"}, {impBot, "importante"}, {moltoBot, "molto importante"},
        {fineBot, "fine"}};
    for (const auto& [button, label] : spoken)
        button->setProperty("spokenLabel", QString::fromUtf8(label));
    fineBot->setText(QStringLiteral("fine"));
    fineBot->setToolTip(QStringLiteral("fine esercizio"));
    QFont fineFont = fineBot->font();
    fineFont.setBold(true);
    fineFont.setPointSize(12);
    fineBot->setFont(fineFont);
    fineBot->setEnabled(false);
    fineBot->hide();
    suBut->setIcon(arrowPicture(true));
    giuBut->setIcon(arrowPicture(false));
    PlayBut->setIcon(speakerPicture());
    for (QPushButton* b : {suBut, giuBut, PlayBut})
        b->setIconSize(QSize(40, 40));
    suBut->setToolTip(QStringLiteral("Frase precedente"));
    giuBut->setToolTip(QStringLiteral("Frase seguente"));
    PlayBut->setToolTip(QStringLiteral("Leggi la frase"));
    for (QPushButton* b : {nonBot, impBot, moltoBot})
        connect(b, &QPushButton::clicked, this, [this, b]() { clickImportanza(b); });

    suggPanel = new QFrame(this);
    suggPanel->setObjectName(QStringLiteral("suggPanel"));
    suggPanel->hide();
    Memo1 = new QPlainTextEdit(suggPanel);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);

    Timer1 = new ClockTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    limit = std::make_unique<SentenceTimeLimit>(Timer1);
    // Whatever is open over the window (a question, a dialog, a menu, the
    // task or a feedback) holds the time limit until it closes.
    windowsOver = std::make_unique<WindowsOver>(this, [this](bool covered) {
        if (covered) {
            limit->hold();
            rules.holdAnswerTime();
        } else {
            limit->release();
            rules.releaseAnswerTime();
        }
    });

    connect(fineBut, &QPushButton::clicked, this, &Tesegui::fineButCliccato);
    connect(fineBot, &QPushButton::clicked, this, &Tesegui::fineButCliccato);
    connect(PlayButton, &QPushButton::clicked, this, &Tesegui::PlayButtonClick);
    connect(PlayBut, &QPushButton::clicked, this, &Tesegui::PlayButtonClick);
    connect(suBut, &QPushButton::clicked, this, &Tesegui::suButClick);
    connect(giuBut, &QPushButton::clicked, this, &Tesegui::giuButClick);
    connect(suggBut, &QPushButton::clicked, this, &Tesegui::suggButClick);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &Tesegui::scrolled);
    connect(Timer1, &ClockTimer::timeout, this, &Tesegui::timeLimit);
}

void Tesegui::buildMenu()
{
    File1 = menuBar->addMenu(QStringLiteral("&File"));
    File1->setObjectName(QStringLiteral("File1"));
    Eseguiesercizio1 = File1->addAction(QStringLiteral("Ese&gui esercizio..."));
    Eseguiesercizio1->setObjectName(QStringLiteral("Eseguiesercizio1"));
    Salvaesercizioconnome1 = File1->addAction(QStringLiteral("Sal&va esercizio con nome..."));
    Salvaesercizioconnome1->setObjectName(QStringLiteral("Salvaesercizioconnome1"));
    Salvaesercizioconnome1->setEnabled(false);
    File1->addSeparator();
    Esci1 = File1->addAction(QStringLiteral("&Esci"));
    Esci1->setObjectName(QStringLiteral("Esci1"));
    opzioni1 = menuBar->addMenu(QStringLiteral("&opzioni"));
    opzioni1->setObjectName(QStringLiteral("opzioni1"));
    sceltadelfont1 = opzioni1->addAction(QStringLiteral("&scelta del font..."));
    sceltadelfont1->setObjectName(QStringLiteral("sceltadelfont1"));
    configurasintesi1 = opzioni1->addAction(QStringLiteral("configura sintesi"));
    configurasintesi1->setObjectName(QStringLiteral("configurasintesi1"));

    connect(File1, &QMenu::aboutToShow, this, &Tesegui::updateFileMenu);
    connect(Eseguiesercizio1, &QAction::triggered, this, &Tesegui::startExercise);
    connect(Salvaesercizioconnome1, &QAction::triggered, this, [this]() {
        if (unsaved)
            saveRun(QStringLiteral("Salva con nome"));
        else
            showMessage(QString::fromUtf8("L'esercizio è già stato salvato"));
    });
    connect(Esci1, &QAction::triggered, this, &QWidget::close);
    connect(sceltadelfont1, &QAction::triggered, this, &Tesegui::chooseFont);
    connect(configurasintesi1, &QAction::triggered, this, &Tesegui::openSpeechSetup);
}

void Tesegui::updateFileMenu()
{
    Salvaesercizioconnome1->setEnabled(run.runFinished);
}

bool Tesegui::loadPictures()
{
    const QString missing = levelButtons->loadPictures(context.programFolder);
    if (!missing.isEmpty()) {
        showMessage(QString::fromUtf8("La finestra di esecuzione non può essere aperta: "
                                      "manca l'immagine ")
                    + QDir::toNativeSeparators(QDir(context.programFolder).filePath(missing)));
        return false;
    }
    glyphsLoaded = true;
    return true;
}

void Tesegui::fitScannedGlyphs()
{
    if (!glyphsLoaded)
        return;
    for (QPushButton* b : {nonBot, impBot, moltoBot})
        setFittedGlyph(b, levelButtons->picture(ImportanceLevel(levelOf(b)), false));
}

const QFont& Tesegui::textFont() const
{
    return PaintCanvas->textFont();
}

const QImage& Tesegui::screenPicture() const
{
    return PaintCanvas->screenPicture();
}

void Tesegui::setAccess()
{
    scanningAccess = setup.scanningAccess;
    device = setup.device;
    if (!scanningAccess) {
        levelButtons->show();
        PanelScansione->hide();
        return;
    }
    PlayButton->hide();
    levelButtons->hide();
    PanelScansione->show();
    arrangeControls();
    scanning = std::make_unique<TScansione>(PanelScansione, setup.profile.scan, device);
    scanning->setVoice(speechScanVoice());
    if (device == joystickDirectional && scanning->joystick()) {
        TJoystick* stick = scanning->joystick();
        stick->OnDirection = [this](int direction) { joystickDirection(direction); };
        stick->releaseCapture();
        {
            TregolaJoyForm calibration(this);
            calibration.exec();
        }
        const QPoint centre = stick->readPosition();
        stick->setCentre(centre.x(), centre.y());
        stick->startCapture(PanelScansione);
    }
    if ((device == serialTwoSwitch || device == serialOneSwitch) && serialSwitches) {
        keptPressHandler = serialSwitches->pressHandler();
        serialSwitches->setPressHandler([this](TBottoneSeriale* sender) { serialPress(sender); });
        handlerInstalled = true;
    }
    scanning->startScanning();
}

// ---------------------------------------------------------------------------
// Window events

void Tesegui::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (firstActivation)
        QTimer::singleShot(0, this, &Tesegui::firstActivate);
}

void Tesegui::firstActivate()
{
    if (!firstActivation || !isVisible())
        return;
    firstActivation = false;
    if (!pendingResume.isEmpty()) {
        // An interrupted run goes on where it stopped, without the introduction.
        const QString path = pendingResume;
        pendingResume.clear();
        if (!resumeRun(path)) {
            QDialog::reject();
            return;
        }
    } else {
        releaseJoystick();
        showIntroduction();
        captureJoystick();
        startExercise();
    }
    if (isVisible())
        setWindowState(windowState() | Qt::WindowMaximized);
}

void Tesegui::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    arrangeControls();
}

void Tesegui::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        // With the keyboard handler at work Esc has been dealt with already.
        if (!keyboard || !keyboard->enabled)
            close();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tesegui::reject()
{
    if (confirmClose())
        QDialog::reject();
}

void Tesegui::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    QWidget* mainWindow = parentWidget() ? parentWidget()->window() : nullptr;
    if ((windowState() & Qt::WindowMinimized) && !(before & Qt::WindowMinimized)) {
        // Minimising the run window minimises the whole program.
        ownState = before;
        if (mainWindow) {
            mainWindowState = mainWindow->windowState();
            mainWindow->setWindowState(mainWindowState | Qt::WindowMinimized);
        }
    } else if (!(windowState() & Qt::WindowMinimized) && (before & Qt::WindowMinimized)) {
        if (mainWindow)
            mainWindow->setWindowState(mainWindowState & ~Qt::WindowMinimized);
        setWindowState(ownState & ~Qt::WindowMinimized);
    }
}

bool Tesegui::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panelSfondo && event->type() == QEvent::Resize) {
        PaintCanvas->setGeometry(panelSfondo->rect());
        arrangeControls();
        if (exerciseLoaded)
            relayout();
        else
            PaintCanvas->redraw();
    }
    return QDialog::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Placing and drawing

void Tesegui::setFineEnabled(bool enabled)
{
    fineBut->setEnabled(enabled);
    fineBot->setEnabled(enabled);
}

void Tesegui::arrangeControls()
{
    const int w = panelSfondo->width();
    levelButtons->setGeometry(bevel, bevel, w, answerHeight);

    const bool speech = SpeechAvailable && options.useSpeech && !scanningAccess;
    int fineHeight = 0;
    int fineLeft = 0;
    if (speech) {
        fineHeight = finHeight;
        PlayButton->setGeometry(0, 0, 60, finHeight);
        fineLeft = 60;
    }
    if (!fineBut->isHidden()) {
        fineHeight = finHeight;
        fineBut->setGeometry(fineLeft, 0, w - fineLeft, finHeight);
    }
    // A large scanning frame has room of its own: the scanned panel grows by it.
    const int gap = std::max(scanGap, scanGapFor(setup.profile.scan.frameMargin()));
    const int scannedHeight = answerHeight + gap - scanGap;
    const int answersHeight = scanningAccess ? scannedHeight : answerHeight;
    PanelFine->setGeometry(bevel, bevel + answersHeight, w, fineHeight);
    PanelFine->setVisible(fineHeight > 0);
    panelBottoni->setFixedHeight(answersHeight + fineHeight + 2 * bevel);

    PanelScansione->setGeometry(bevel, bevel, w, scannedHeight);
    // Arrows and play button square, the three answers share the rest; a gap
    // around each button leaves room for the scanning frame.
    const int h = scannedHeight - gap;
    int x = gap / 2;
    for (QPushButton* b : {suBut, giuBut, PlayBut}) {
        if (b->isHidden())
            continue;
        b->setGeometry(x, gap / 2, 60, h);
        x += 60 + gap;
    }
    const int fineWidth = fineBot->isHidden() ? 0 : 60 + gap;
    const int each = std::max(40, (w - x - fineWidth - gap / 2 - 2 * gap) / 3);
    for (QPushButton* b : {nonBot, impBot, moltoBot}) {
        b->setGeometry(x, gap / 2, each, h);
        x += each + gap;
    }
    if (fineWidth > 0)
        fineBot->setGeometry(x, gap / 2, 60, h);

    fitScannedGlyphs();
    suggBut->move(w - suggBut->width() - bevel, 1);
    suggBut->raise();
}

void Tesegui::relayout()
{
    if (!model)
        return;
    const int total = PaintCanvas->layout();
    if (run.displayMode == wholeText) {
        PaintCanvas->setScrollRange(total);
        redraw();
    } else {
        placeShownSentence();
        paintShownSentence();
        PaintCanvas->showPicture();
    }
}

void Tesegui::redraw()
{
    if (model)
        PaintCanvas->redraw();
}

void Tesegui::placeShownSentence()
{
    shownHeight = PaintCanvas->sentenceHeight(shownSentence);
    const int height = std::max(1, PaintCanvas->height());
    const QSignalBlocker block(ScrollBar1);
    ScrollBar1->setSingleStep(10);
    ScrollBar1->setPageStep(height);
    if (shownHeight > height) {
        ScrollBar1->setRange(0, shownHeight - height);
        shownTop = 0;
    } else {
        ScrollBar1->setRange(0, 0);
        shownTop = (height - shownHeight) / 2;
    }
    ScrollBar1->setValue(0);
}

void Tesegui::paintShownSentence()
{
    PaintCanvas->paintSentence(shownTop - ScrollBar1->value(), shownSentence);
}

void Tesegui::scrolled(int)
{
    if (!exerciseLoaded || !model)
        return;
    if (run.displayMode == wholeText) {
        redraw();
    } else {
        paintShownSentence();
        PaintCanvas->showPicture();
    }
}

void Tesegui::scrollTo(int position)
{
    const QSignalBlocker block(ScrollBar1);
    ScrollBar1->setValue(position);
}

void Tesegui::bringIntoView(int n)
{
    PaintCanvas->scrollIntoView(n);
}

void Tesegui::chooseSentence(int n, int scroll)
{
    if (!model || n < 0 || n >= model->sentenceCount)
        return;
    model->currentSentence = n;
    model->currentImportance = model->importanceOf(n);
    if (scroll >= 0)
        scrollTo(scroll);
    else
        bringIntoView(n);
    redraw();
}

int Tesegui::sentenceTop(int n)
{
    return PaintCanvas->sentenceExtent(n).first;
}

void Tesegui::canvasMouseDown(QMouseEvent* event)
{
    if (event->type() != QEvent::MouseButtonPress || event->button() != Qt::LeftButton)
        return;
    if (run.displayMode != wholeText || !exerciseLoaded || !model)
        return;
    const HitResult hit = PaintCanvas->hitTest(event->position().toPoint());
    if (hit.sentence < 0 || hit.sentence == model->currentSentence)
        return;
    model->currentSentence = hit.sentence;
    model->currentImportance = hit.level;
    model->hitSpare1 = hit.spare1;
    model->hitSpare2 = hit.spare2;
    redraw();
}

// ---------------------------------------------------------------------------
// Exercises

void Tesegui::startExercise()
{
    QString chosen;
    DisplayMode display = wholeText;
    FeedbackMode feedback = noFeedback;
    if (!chooseExercise(chosen, display, feedback))
        return;
    // The run in progress, if any, is given up now.
    dropJournal();
    // An interrupted run of this pupil on this exercise is offered first.
    const QList<InterruptedRun> found = interruptedRuns(runJournalFolder(context.dataRoot));
    for (const InterruptedRun& interrupted : found) {
        if (!interrupted.readable || interrupted.start.exerciseName != chosen
            || trimSpaces(interrupted.start.pupilName) != trimSpaces(run.pupilName))
            continue;
        const bool timed = scanning && scanning->running();
        if (scanning)
            scanning->stopScanning();
        releaseJoystick();
        const RunOffer offer =
            offerInterruptedRun(this, context.dataRoot, interrupted, scanningAccess, device, serialSwitches);
        captureJoystick();
        if (timed)
            scanning->startScanning();
        if (offer == RunOffer::Resume && resumeRun(interrupted.path))
            return;
    }
    beginRun(chosen, display, feedback);
}

bool Tesegui::beginRun(const QString& chosen, DisplayMode display, FeedbackMode feedback)
{
    run.exerciseName = chosen;
    run.runName.clear();
    run.historyFirst.clear();
    run.historySecond.clear();
    run.historyThird.clear();
    run.historyTime.clear();
    run.lastStepError = 0;
    limit->stop();
    run.displayMode = display;
    if (display == sentenceBySentence)
        limit->setLimit(qint64(options.maxSentenceTime) * 1000);
    run.feedbackMode = feedback;
    run.runFinished = false;
    dropJournal();
    prepareScanning(display);

    PaintCanvas->setText(nullptr);
    model.reset();
    rules.start(nullptr, options);
    exerciseLoaded = false;
    unsaved = false;
    suggBut->setEnabled(false);
    Memo1->clear();
    fineBut->hide();
    setFineEnabled(false);

    const QString folder = context.dataRoot + QStringLiteral("esercizi/");
    const QString file = fileNameFor(folder, chosen);
    const QString path = folder + file;
    if (file.isEmpty() || !QFileInfo(path).isFile()) {
        showMessage(QStringLiteral("La lista ") + chosen + QStringLiteral(" non esiste"));
    } else if (loadExercise(path)) {
        fineBut->setVisible(display == wholeText);
        setFineEnabled(true);
        scrollTo(0);
        shownSentence = 0;
        rules.start(model.get(), options);
        arrangeControls();
        relayout();
        unsaved = true;
        keyboard->enabled = true;
        timeUsedMs = 0;
        timeMark = msClock().milliseconds();
        startJournal();
        if (display == sentenceBySentence && options.maxSentenceTime > 0)
            limit->start();
        rules.answerable();
        return true;
    }
    arrangeControls();
    PaintCanvas->redraw();
    return false;
}

void Tesegui::prepareScanning(DisplayMode display)
{
    if (!scanning)
        return;
    const bool whole = display == wholeText;
    suBut->setProperty("tag", whole ? 0 : -1);
    giuBut->setProperty("tag", whole ? 1 : -1);
    suBut->setEnabled(whole);
    giuBut->setEnabled(whole);
    fineBot->setProperty("tag", whole ? 6 : -1);
    fineBot->setVisible(whole);
    arrangeControls();
    scanning->rebuildList();
    PanelScansione->repaint();
}

bool Tesegui::loadExercise(const QString& path)
{
    QStringList text;
    QString task;
    if (!readExercise(path, text, task)) {
        showMessage(QStringLiteral("Errore di lettura del file ") + QFileInfo(path).fileName());
        return false;
    }
    return loadExerciseText(text, task);
}

bool Tesegui::loadExerciseText(const QStringList& text, const QString& task)
{
    Tparametri params;
    params.mode = fromExercise;
    params.source = text;
    params.compito = task;
    auto loaded = std::make_unique<Tevidenziatore>(params);
    if (loaded->sentenceCount == 0) {
        // Nothing to answer: no run can start on it.
        showMessage(QStringLiteral("L'esercizio ") + run.exerciseName
                    + QStringLiteral(" non contiene frasi: non si può eseguire."));
        return false;
    }
    model = std::move(loaded);
    PaintCanvas->setText(model.get());
    exerciseText = text;
    exerciseTask = task;
    exerciseLoaded = true;
    suggBut->setEnabled(true);
    model->hideAnswers();
    Memo1->setPlainText(QString(model->compito).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    return true;
}

// ---------------------------------------------------------------------------
// Answers

void Tesegui::stopSpeech()
{
    if (readAlong)
        readAlong->stop();
    stopSpeaking();
}

void Tesegui::wordHeard(int item, int start, int length)
{
    if (!model)
        return;
    const int n = run.displayMode == wholeText ? readFrom + item : shownSentence;
    // The lines may have been wrapped anew since the reading began (the
    // window was resized): the word keeps its place among the characters
    // that are not spaces.
    const QString read = readAlong->texts().value(item);
    const QString now = model->sentenceText(n);
    if (read != now) {
        int letters = 0;
        for (int i = 0; i < start && i < read.size(); ++i)
            letters += read.at(i).isSpace() ? 0 : 1;
        int at = 0;
        while (at < now.size() && (letters > 0 || now.at(at).isSpace())) {
            letters -= now.at(at).isSpace() ? 0 : 1;
            ++at;
        }
        start = at;
    }
    if (run.displayMode == wholeText)
        PaintCanvas->markWord(n, start, length);
    else
        PaintCanvas->markWord(n, start, length, shownTop);
}

void Tesegui::releaseJoystick()
{
    if (scanning && scanning->joystick())
        scanning->joystick()->releaseCapture();
}

void Tesegui::captureJoystick()
{
    if (scanning && scanning->joystick())
        scanning->joystick()->startCapture(PanelScansione);
}

void Tesegui::setScanningSuspended(bool suspended)
{
    if (!scanning)
        return;
    scanning->suspended = suspended;
    if (suspended)
        scanning->stopScanning();
    else
        scanning->startScanning();
}

void Tesegui::beginAnswerWork(bool& timerWasOn)
{
    timerWasOn = limit->isOn();
    limit->stop();
    keyboard->blockMouse = true;
    keyboard->blockKeys = true;
    setScanningSuspended(true);
    releaseJoystick();
}

void Tesegui::endAnswerWork(bool timerWasOn)
{
    captureJoystick();
    keyboard->blockMouse = false;
    keyboard->blockKeys = false;
    setScanningSuspended(false);
    if (timerWasOn && !run.runFinished)
        limit->start();
}

int Tesegui::levelOf(QObject* sender) const
{
    if (sender == nonImportanteBut || sender == nonBot)
        return nonImportante;
    if (sender == importanteBut || sender == impBot)
        return importante;
    if (sender == moltoImportanteBut || sender == moltoBot)
        return moltoImportante;
    return 0;
}

QAbstractButton* Tesegui::answerButtonFor(int level) const
{
    return levelButtons->button(ImportanceLevel(level));
}

void Tesegui::clickImportanza(QObject* sender)
{
    stopSpeech();
    if (!exerciseLoaded || !model || inAnswer)
        return;
    if (run.runFinished) {
        if (isActiveWindow())
            showMessage(QString::fromUtf8("L'esercizio è terminato"));
        return;
    }
    const int level = levelOf(sender);
    if (level == 0)
        return;
    inAnswer = true;
    // The answer's time stops here; the next one counts once this is done.
    rules.holdAnswerTime();
    bool timerWasOn = false;
    beginAnswerWork(timerWasOn);

    int k = 0;
    if (run.displayMode == wholeText) {
        k = model->currentSentence;
        model->setImportance(k, ImportanceLevel(level));
        model->currentImportance = ImportanceLevel(level);
        bringIntoView(k);
        redraw();
    } else {
        k = shownSentence;
        model->setImportance(k, ImportanceLevel(level));
        paintShownSentence();
        PaintCanvas->showPicture();
    }
    rules.answered(k, ImportanceLevel(level));

    endAnswerWork(timerWasOn);
    rules.answerable();
    rules.releaseAnswerTime();
    inAnswer = false;
}

void Tesegui::timeLimit()
{
    if (!exerciseLoaded || !model)
        return;
    clickImportanza(answerButtonFor(model->importanceOf(shownSentence)));
}

void Tesegui::nextSentence()
{
    if (!model || shownSentence >= model->sentenceCount - 1)
        return;
    limit->stop();
    auto shown = [this]() {
        PaintCanvas->repaint();
    };
    QImage& screen = PaintCanvas->screenPicture();
    dissolveToColour(screen, 0, shownTop, Qt::white, 6, shownHeight, PaintCanvas->width(), shown);
    ++shownSentence;
    placeShownSentence();
    paintShownSentence();
    revealBands(screen, 0, shownTop, PaintCanvas->picture(), 1, shownHeight, PaintCanvas->width(),
                shown);
    PaintCanvas->showPicture();
    if (options.maxSentenceTime > 0 && run.displayMode == sentenceBySentence)
        limit->start();
}

void Tesegui::showSentenceAtOnce(int n)
{
    shownSentence = n;
    placeShownSentence();
    paintShownSentence();
    PaintCanvas->showPicture();
    PaintCanvas->repaint();
}

void Tesegui::suButClick()
{
    stepSentence(-1);
}

void Tesegui::giuButClick()
{
    stepSentence(1);
}

void Tesegui::stepSentence(int step)
{
    stopSpeech();
    const bool timed = scanning && scanning->timed;
    if (timed)
        scanning->stopScanning();
    if (run.displayMode == wholeText && model)
        chooseSentence(model->currentSentence + step);
    if (timed)
        scanning->startScanning();
}

void Tesegui::PlayButtonClick()
{
    if (!model)
        return;
    stopSpeech();
    // The whole text is read from the current sentence to the end, one
    // sentence at a time the sentence shown; the word heard is marked.
    QStringList texts;
    if (run.displayMode == wholeText) {
        readFrom = std::max(0, model->currentSentence);
        for (int n = readFrom; n < model->sentenceCount; ++n)
            texts << model->sentenceText(n);
    } else {
        texts << model->sentenceText(shownSentence);
    }
    readAlong->read(texts);
}

bool Tesegui::handleKey(int key)
{
    if (!isActiveWindow())
        return false;
    if (key == Qt::Key_Escape) {
        close();
        return false;
    }
    if (!exerciseLoaded || !model || scanningAccess)
        return false;
    const bool whole = run.displayMode == wholeText;
    switch (key) {
    case Qt::Key_End:
        if (whole)
            chooseSentence(model->sentenceCount - 1, ScrollBar1->maximum());
        return true;
    case Qt::Key_Home:
        if (whole)
            chooseSentence(0, 0);
        return true;
    case Qt::Key_Up:
        if (whole && model->currentSentence >= 1)
            chooseSentence(model->currentSentence - 1);
        return true;
    case Qt::Key_Down:
        if (whole && model->currentSentence < model->sentenceCount - 1)
            chooseSentence(model->currentSentence + 1);
        return true;
    case Qt::Key_Left:
    case Qt::Key_Right:
        focusAnswer(key == Qt::Key_Right);
        return true;
    default:
        return false;
    }
}

void Tesegui::focusAnswer(bool right)
{
    levelButtons->focusNext(right, Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// Access devices

void Tesegui::serialPress(TBottoneSeriale* sender)
{
    if (readAlong)
        readAlong->stop();
    if (!scanning || scanning->suspended || !isActiveWindow())
        return;
    if (sender->dsrNow())
        scanning->switchPressed(device == serialOneSwitch ? scanSelect : scanNext,
                                [sender] { return sender->dsrNow(); });
    else if (sender->ctsNow())
        scanning->switchPressed(scanSelect, [sender] { return sender->ctsNow(); });
}

void Tesegui::joystickDirection(int direction)
{
    if (readAlong)
        readAlong->stop();
    if (!scanning)
        return;
    switch (direction) {
    case joyUp:
        if (suBut->isVisible() && suBut->isEnabled())
            suButClick();
        break;
    case joyDown:
        if (giuBut->isVisible() && giuBut->isEnabled())
            giuButClick();
        break;
    case joyRight:
        scanning->performAction(scanRight);
        break;
    case joyLeft:
        scanning->performAction(scanLeft);
        break;
    default:
        break;
    }
}

// ---------------------------------------------------------------------------
// What the run rules ask of the window

void Tesegui::fineButCliccato()
{
    stopSpeech();
    rules.endCheck();
}

void Tesegui::goToSentence(int n, bool toTextStart)
{
    chooseSentence(n, toTextStart ? 0 : sentenceTop(n));
}

void Tesegui::moveOn(int from, bool pause)
{
    shownSentence = from;
    if (pause)
        waitTicks(RunRules::pauseMs);
    nextSentence();
}

void Tesegui::dispatchEvents()
{
    QCoreApplication::processEvents();
}

void Tesegui::holdInput()
{
    beginAnswerWork(endCheckTimerWasOn);
}

void Tesegui::releaseInput()
{
    endAnswerWork(endCheckTimerWasOn);
}

void Tesegui::saveFinishedRun()
{
    const bool saved = scanningAccess ? saveRunScanned()
                                      : saveRun(QStringLiteral("Vuoi salvare l'esercizio ?"));
    // A save that the file refused leaves the run unsaved, so that closing
    // asks again; a pupil who chose not to save is not asked twice.
    if (saved || !saveFailed)
        unsaved = false;
    if (!saved && !saveFailed)
        dropJournal();    // given up: nothing is left to resume
}

void Tesegui::disableEnd()
{
    setFineEnabled(false);
}

void Tesegui::closeRun()
{
    close();
}

// ---------------------------------------------------------------------------
// The windows the run opens

RunSetup Tesegui::setupFrom(const TsceltaEs& dialog)
{
    RunSetup result;
    result.pupilName = dialog.pupilName();
    result.pupilInfo = dialog.pupilInfo();
    result.scanningAccess = dialog.scanningAccess();
    result.device = dialog.accessDevice();
    result.profile = dialog.pupilProfile();
    return result;
}

RunSetup Tesegui::setupFor(const RunJournalStart& start)
{
    RunSetup result;
    result.pupilName = start.pupilName;
    result.pupilInfo = start.pupilInfo;
    result.scanningAccess = start.scanningAccess;
    result.device = AccessDevice(start.accessDevice);
    result.profile = profileOfRun(start);
    return result;
}

FeedbackRequest Tesegui::feedbackRequest(FeedbackKind kind, int buttons)
{
    FeedbackRequest request;
    request.owner = this;
    request.kind = kind;
    request.offeredButtons = buttons;
    request.scanningAccess = scanningAccess;
    request.device = device;
    request.timing = setup.profile.scan;
    return request;
}

void Tesegui::showIntroduction()
{
    FeedbackRequest request = feedbackRequest(FeedbackKind::spieEs, offerOk);
    request.customSize = true;
    request.windowWidth = 350;
    request.windowHeight = 460;
    request.tableWidth = 0;
    TanimazioneForm form(request, context);
    form.exec();
}

bool Tesegui::chooseExercise(QString& name, DisplayMode& display, FeedbackMode& feedback)
{
    TcaricaE chooser(context, this);
    if (chooser.ComboEsercizi->count() == 0) {
        showMessage(QStringLiteral("Non esistono esercizi da eseguire"));
        return false;
    }
    const bool timed = scanning && scanning->running();
    if (scanning)
        scanning->stopScanning();
    releaseJoystick();
    const bool chosen = chooser.exec() == QDialog::Accepted;
    captureJoystick();
    if (timed)
        scanning->startScanning();
    if (!chosen || chooser.exerciseName().isEmpty())
        return false;
    name = chooser.exerciseName();
    display = chooser.displayMode();
    feedback = chooser.feedbackMode();
    return true;
}

FeedbackAnswer Tesegui::showFeedback(FeedbackKind kind, int offeredButtons)
{
    const FeedbackRequest request = feedbackRequest(kind, offeredButtons);
    keyboard->blockMouse = false;
    keyboard->blockKeys = false;
    TanimazioneForm form(request, context);
    return static_cast<FeedbackAnswer>(form.exec());
}

void Tesegui::showJudgement(FeedbackKind kind, const AnswerCounts& counts)
{
    limit->stop();
    releaseJoystick();
    {
        FeedbackRequest request = feedbackRequest(kind, offerOk);
        request.customSize = true;
        request.windowWidth = 640;
        request.windowHeight = 480;
        request.tableWidth = 390;
        TanimazioneForm form(request, context);

        form.showTable(counts);

        keyboard->blockMouse = false;
        keyboard->blockKeys = false;
        setScanningSuspended(false);
        form.exec();
    }
    captureJoystick();
}

void Tesegui::suggButClick()
{
    TFormCompito task(this);
    // The task can be read aloud whenever speech is available.
    task.setTask(Memo1->toPlainText(), context.speechAvailable());
    const bool timed = scanning && scanning->running();
    if (scanning)
        scanning->stopScanning();
    releaseJoystick();
    task.exec();
    captureJoystick();
    if (timed)
        scanning->startScanning();
    stopSpeech();
}

// ---------------------------------------------------------------------------
// Saving and closing

bool Tesegui::saveRun(const QString& title)
{
    if (!model)
        return false;
    saveFailed = false;
    // The journal says the run ended before the results file holds it, so a
    // crash in between never offers a stored run again.
    if (journal)
        journal->waitForWriter();
    const bool keyInputBefore = scanning ? scanning->keyInput : false;
    if (scanning)
        scanning->keyInput = false;
    releaseJoystick();
    bool fileFailed = false;
    const bool saved =
        storeRunAs(this, title, resultsFolderIn(context.dataRoot), *model, run, fileFailed);
    if (saved) {
        unsaved = false;
        dropJournal();
    } else {
        saveFailed = fileFailed;
    }
    captureJoystick();
    if (scanning)
        scanning->keyInput = keyInputBefore;
    return saved;
}

bool Tesegui::saveRunScanned()
{
    if (!model)
        return false;
    saveFailed = false;
    if (journal)
        journal->waitForWriter();
    releaseJoystick();
    bool yes = false;
    {
        TdomandaForm question(this, QStringLiteral("Vuoi salvare l'esercizio ?"), device,
                              setup.profile.scan, serialSwitches);
        yes = question.exec() == QDialog::Accepted;
    }
    stopSpeech();
    bool saved = false;
    if (yes) {
        // The proposed name, or the first free one after it: a switch user is
        // never asked to type.
        const QString proposed = RunIdentifier::storedName(proposedRunName());
        const ResultsArchive archive = ResultsArchive::in(context.dataRoot);
        const QString pupil = RunIdentifier::storedName(run.pupilName);
        QSet<QString> taken;
        for (const RunIdentifier& identifier : archive.runs()) {
            if (identifier.pupil() == pupil)
                taken.insert(identifier.runName());
        }
        QString name = proposed;
        for (int n = 2; taken.contains(name); ++n)
            name = proposed + QStringLiteral(" (%1)").arg(n);
        TesercizioSvolto stored = run;
        stored.runName = name;
        bool fileFailed = false;
        if (model->writeRun(resultsFolderIn(context.dataRoot), resultsName, resultsExtension, stored,
                            &fileFailed)) {
            run.runName = name;
            unsaved = false;
            saved = true;
            dropJournal();
        }
        saveFailed = fileFailed;
    }
    captureJoystick();
    return saved;
}

bool Tesegui::confirmClose()
{
    if (!unsaved)
        return true;
    // The time limit waits while the question is open and goes on from
    // where it was when the run stays.
    limit->hold();
    const DialogButton answer = askQuestion(
        QStringLiteral("Attenzione!"),
        QStringLiteral("L'esercizio in corso non è stato salvato. Vuoi salvarlo ?"),
        YesButton | NoAnswerButton | CancelButton, DialogIcon::Warning);
    const bool mayClose = answer == NoAnswerButton
                          || (answer == YesButton && saveRun(QStringLiteral("Salva con nome")));
    if (mayClose)
        limit->stop();
    if (answer == NoAnswerButton)
        dropJournal();
    limit->release();
    return mayClose;
}

// ---------------------------------------------------------------------------
// The journal of the run, and going on with an interrupted run

void Tesegui::startJournal()
{
    RunJournalStart start;
    start.started = msClock().dateTime();
    start.pupilName = run.pupilName;
    start.pupilInfo = run.pupilInfo;
    start.profile = profileForJournal(run.pupilName, setup.profile);
    start.exerciseName = run.exerciseName;
    start.exerciseText = exerciseText;
    start.exerciseTask = exerciseTask;
    start.displayMode = run.displayMode;
    start.feedbackMode = run.feedbackMode;
    start.maxSentenceTime = options.maxSentenceTime;
    start.feedbackThreshold = options.feedbackThreshold;
    start.resetAnswersOnFeedback = options.resetAnswersOnFeedback;
    start.useSpeech = options.useSpeech;
    start.scanningAccess = scanningAccess;
    start.accessDevice = device;
    if (scanningAccess && (device == serialTwoSwitch || device == serialOneSwitch) && serialSwitches)
        start.serialPort = serialSwitches->portDevice();
    start.font = textFont().toString();
    journal = std::make_unique<RunJournal>(runJournalFolder(context.dataRoot), start);
}

void Tesegui::recorded(bool ended)
{
    if (!journal || !model)
        return;
    RunJournalState state;
    state.historyFirst = run.historyFirst;
    state.historySecond = run.historySecond;
    state.historyThird = run.historyThird;
    state.historyTime = run.historyTime;
    state.currentSentence = model->currentSentence;
    state.shownSentence = shownSentence;
    state.firstPartCheck = rules.firstPartCheck;
    state.secondPartCheck = rules.secondPartCheck;
    state.jumpPending = rules.jumpPending;
    state.jumpFrom = rules.jumpFrom;
    state.jumpDelay = rules.jumpDelay;
    state.lastStepError = run.lastStepError;
    state.randomDraws = rules.randomDraws;
    state.timeUsedMs = timeUsedMs + (msClock().milliseconds() - timeMark);
    state.ended = ended;
    state.font = textFont().toString();
    journal->record(state);
}

void Tesegui::dropJournal()
{
    if (journal)
        journal->remove();
    journal.reset();
}

bool Tesegui::resumeRun(const QString& path)
{
    InterruptedRun read;
    std::unique_ptr<RunJournal> taken = RunJournal::takeOver(path, read);
    if (!taken) {
        showMessage(read.readable || read.path.isEmpty()
                        ? QString::fromUtf8("La prova non si può riprendere: è in corso in un'altra "
                                            "finestra, su questo o su un altro computer.")
                        : read.damage);
        return false;
    }
    dropJournal();
    limit->stop();
    const RunJournalStart& start = read.start;
    const RunJournalState& state = read.state;

    // The run as it started: pupil, exercise, modes and the options in force.
    run = TesercizioSvolto();
    run.pupilName = start.pupilName;
    run.pupilInfo = start.pupilInfo;
    run.exerciseName = start.exerciseName;
    run.displayMode = DisplayMode(start.displayMode);
    run.feedbackMode = FeedbackMode(start.feedbackMode);
    options.maxSentenceTime = start.maxSentenceTime;
    options.feedbackThreshold = start.feedbackThreshold;
    options.resetAnswersOnFeedback = start.resetAnswersOnFeedback;
    options.useSpeech = start.useSpeech;
    profileInForce.maxSentenceTime = options.maxSentenceTime;
    profileInForce.useSpeech = SpeechAvailable && options.useSpeech;
    if (!setup.profile.isDefault())
        run.profileLine = profileInWords(profileInForce);
    if (run.displayMode == sentenceBySentence)
        limit->setLimit(qint64(options.maxSentenceTime) * 1000);
    prepareScanning(run.displayMode);

    PaintCanvas->setText(nullptr);
    model.reset();
    exerciseLoaded = false;
    if (!loadExerciseText(start.exerciseText, start.exerciseTask)) {
        arrangeControls();
        PaintCanvas->redraw();
        return false;
    }
    rules.start(model.get(), options);
    QFont font;
    if (!state.font.isEmpty() && font.fromString(state.font)) {
        PaintCanvas->setTextFont(font);
    }

    // Where it stood after its last answer.
    run.historyFirst = state.historyFirst;
    run.historySecond = state.historySecond;
    run.historyThird = state.historyThird;
    run.historyTime = state.historyTime;
    run.lastStepError = state.lastStepError;
    replayHistory(*model, run.historyFirst, run.historySecond, run.historyThird);
    rules.firstPartCheck = state.firstPartCheck;
    rules.secondPartCheck = state.secondPartCheck;
    rules.jumpPending = state.jumpPending;
    rules.jumpFrom = state.jumpFrom;
    rules.jumpDelay = state.jumpDelay;
    rules.randomDraws = state.randomDraws;
    timeUsedMs = state.timeUsedMs;
    timeMark = msClock().milliseconds();
    const int last = model->sentenceCount - 1;
    shownSentence = std::clamp(state.shownSentence, 0, last);
    model->currentSentence = std::clamp(state.currentSentence, 0, last);
    model->currentImportance = model->importanceOf(model->currentSentence);

    fineBut->setVisible(run.displayMode == wholeText);
    setFineEnabled(true);
    scrollTo(0);
    arrangeControls();
    relayout();
    if (run.displayMode == wholeText)
        chooseSentence(model->currentSentence);
    unsaved = true;
    keyboard->enabled = true;
    journal = std::move(taken);

    if (state.ended) {
        // Stopped after the last answer: the judgement and the save are left.
        rules.finishRun();
        close();
        return true;
    }
    if (run.displayMode == sentenceBySentence && options.maxSentenceTime > 0)
        limit->start();
    rules.answerable();
    return true;
}

// ---------------------------------------------------------------------------
// Menu

void Tesegui::chooseFont()
{
    if (PaintCanvas->chooseFont() && exerciseLoaded)
        relayout();
}

void Tesegui::openSpeechSetup()
{
    if (!SpeechAvailable)
        return;
    TFormSpeechSetup form(this);
    form.exec();
}
