#include "execution/Uesegui.h"

#include "access/Gestoret.h"
#include "access/Joystick.h"
#include "access/SerBtn.h"
#include "access/Uregjoy.h"
#include "common/UQuery.h"
#include "execution/RadioGroup.h"
#include "execution/Ucaricae.h"
#include "execution/Ucompito.h"
#include "execution/Uripresa.h"
#include "execution/Usceltae.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/Clock.h"
#include "model/Longname.h"
#include "model/ResultsFile.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechF.h"

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

const char* const pictureNames[6] = {"nonBu1.bmp", "nonBu2.bmp",   "impBu1.bmp",
                                     "impBu2.bmp", "moltoBu1.bmp", "moltoBu2.bmp"};

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

    textFont = QFont(QStringLiteral("Times New Roman"));
    textFont.setPointSize(16);
    textFont.setStyleStrategy(QFont::PreferDefault);

    buildControls();
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
    setGlyph(nonImportanteBut, nonImportante, false);
    setGlyph(importanteBut, importante, false);
    setGlyph(moltoImportanteBut, moltoImportante, false);
    setGlyph(nonBot, nonImportante, false);
    setGlyph(impBot, importante, false);
    setGlyph(moltoBot, moltoImportante, false);

    PaintCanvas->setFont(textFont);
    clearPicture();
    showScreen();

    run.pupilName = setup.pupilName;
    run.pupilInfo = setup.pupilInfo;
    setAccess();
    complete = true;
}

Tesegui::~Tesegui()
{
    Timer1->stop();
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

    PaintCanvas = new QWidget(panelSfondo);
    PaintCanvas->setObjectName(QStringLiteral("PaintCanvas"));
    PaintCanvas->setAttribute(Qt::WA_OpaquePaintEvent);
    PaintCanvas->installEventFilter(this);
    panelSfondo->installEventFilter(this);

    suggBut = new QPushButton(QStringLiteral("?"), panelSfondo);
    suggBut->setObjectName(QStringLiteral("suggBut"));
    QFont bold = suggBut->font();
    bold.setBold(true);
    suggBut->setFont(bold);
    suggBut->resize(29, 28);
    suggBut->setEnabled(false);
    suggBut->setFocusPolicy(Qt::NoFocus);

    panelBottoni = new QFrame(this);
    panelBottoni->setObjectName(QStringLiteral("panelBottoni"));
    panelBottoni->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panelBottoni->setLineWidth(bevel);
    outer->addWidget(panelBottoni);

    auto answerButton = [this](const char* name) {
        auto button = new QPushButton(panelBottoni);
        button->setObjectName(QLatin1String(name));
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, [this, button]() { clickImportanza(button); });
        return button;
    };
    nonImportanteBut = answerButton("nonImportanteBut");
    importanteBut = answerButton("importanteBut");
    moltoImportanteBut = answerButton("moltoImportanteBut");

    PanelFine = new QFrame(panelBottoni);
    PanelFine->setObjectName(QStringLiteral("PanelFine"));
    fineBut = new QPushButton(QStringLiteral("&fine esercizio"), PanelFine);
    fineBut->setObjectName(QStringLiteral("fineBut"));
    fineBut->setEnabled(false);
    fineBut->hide();
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

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));

    connect(fineBut, &QPushButton::clicked, this, &Tesegui::fineButCliccato);
    connect(fineBot, &QPushButton::clicked, this, &Tesegui::fineButCliccato);
    connect(PlayButton, &QPushButton::clicked, this, &Tesegui::PlayButtonClick);
    connect(PlayBut, &QPushButton::clicked, this, &Tesegui::PlayButtonClick);
    connect(suBut, &QPushButton::clicked, this, &Tesegui::suButClick);
    connect(giuBut, &QPushButton::clicked, this, &Tesegui::giuButClick);
    connect(suggBut, &QPushButton::clicked, this, &Tesegui::suggButClick);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &Tesegui::scrolled);
    connect(Timer1, &QTimer::timeout, this, &Tesegui::timeLimit);
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
    const QDir folder(QDir(context.programFolder).filePath(QStringLiteral("immagini")));
    for (int i = 0; i < 6; ++i) {
        const QString path = folder.filePath(QLatin1String(pictureNames[i]));
        QPixmap picture;
        if (!QFileInfo(path).isFile() || !picture.load(path)) {
            showMessage(QString::fromUtf8("La finestra di esecuzione non può essere aperta: "
                                          "manca l'immagine ")
                        + QDir::toNativeSeparators(path));
            return false;
        }
        glyphs[i] = picture;
    }
    return true;
}

void Tesegui::setGlyph(QPushButton* button, int level, bool focused)
{
    button->setIcon(glyphs[(level - 1) * 2 + (focused ? 1 : 0)]);
    fitGlyph(button);
}

void Tesegui::fitGlyph(QPushButton* button)
{
    // The glyph keeps its size where it fits, and is made smaller (with its
    // proportions) in a narrower button.
    const QSize glyph = glyphs[0].size();
    const QSize room = button->size() - QSize(10, 10);
    button->setIconSize(glyph.width() <= room.width() && glyph.height() <= room.height()
                            ? glyph
                            : glyph.scaled(room.expandedTo(QSize(1, 1)), Qt::KeepAspectRatio));
}

void Tesegui::setAccess()
{
    scanningAccess = setup.scanningAccess;
    device = setup.device;
    if (!scanningAccess) {
        for (QPushButton* b : {nonImportanteBut, importanteBut, moltoImportanteBut})
            b->show();
        PanelScansione->hide();
        return;
    }
    PlayButton->hide();
    for (QPushButton* b : {nonImportanteBut, importanteBut, moltoImportanteBut})
        b->hide();
    PanelScansione->show();
    arrangeControls();
    scanning = std::make_unique<TScansione>(PanelScansione, 1500, device);
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
    if (watched == PaintCanvas) {
        if (event->type() == QEvent::Paint) {
            QPainter painter(PaintCanvas);
            painter.drawImage(0, 0, screen);
            return true;
        }
        if (event->type() == QEvent::MouseButtonPress) {
            auto mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::LeftButton)
                canvasMouseDown(mouse->position().toPoint());
            return true;
        }
    } else if (watched == panelSfondo && event->type() == QEvent::Resize) {
        PaintCanvas->setGeometry(panelSfondo->rect());
        arrangeControls();
        if (exerciseLoaded)
            relayout();
        else {
            clearPicture();
            showScreen();
        }
    } else if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const bool in = event->type() == QEvent::FocusIn;
        if (watched == nonImportanteBut)
            setGlyph(nonImportanteBut, nonImportante, in);
        else if (watched == importanteBut)
            setGlyph(importanteBut, importante, in);
        else if (watched == moltoImportanteBut)
            setGlyph(moltoImportanteBut, moltoImportante, in);
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
    const int third = w / 3;
    nonImportanteBut->setGeometry(bevel, bevel, third, answerHeight);
    importanteBut->setGeometry(bevel + third, bevel, w - 2 * third, answerHeight);
    moltoImportanteBut->setGeometry(bevel + w - third, bevel, third, answerHeight);

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
    PanelFine->setGeometry(bevel, bevel + answerHeight, w, fineHeight);
    PanelFine->setVisible(fineHeight > 0);
    panelBottoni->setFixedHeight(answerHeight + fineHeight + 2 * bevel);

    PanelScansione->setGeometry(bevel, bevel, w, answerHeight);
    // Arrows and play button square, the three answers share the rest; a gap
    // around each button leaves room for the scanning frame.
    const int h = answerHeight - scanGap;
    int x = scanGap / 2;
    for (QPushButton* b : {suBut, giuBut, PlayBut}) {
        if (b->isHidden())
            continue;
        b->setGeometry(x, scanGap / 2, 60, h);
        x += 60 + scanGap;
    }
    const int fineWidth = fineBot->isHidden() ? 0 : 60 + scanGap;
    const int each = std::max(40, (w - x - fineWidth - scanGap / 2 - 2 * scanGap) / 3);
    for (QPushButton* b : {nonBot, impBot, moltoBot}) {
        b->setGeometry(x, scanGap / 2, each, h);
        x += each + scanGap;
    }
    if (fineWidth > 0)
        fineBot->setGeometry(x, scanGap / 2, 60, h);

    if (!glyphs[0].isNull()) {
        for (QPushButton* b : {nonImportanteBut, importanteBut, moltoImportanteBut, nonBot, impBot,
                               moltoBot})
            fitGlyph(b);
    }
    suggBut->move(w - suggBut->width() - bevel, 1);
    suggBut->raise();
}

void Tesegui::clearPicture()
{
    const QSize size = PaintCanvas->size().expandedTo(QSize(1, 1));
    if (textPicture.size() != size)
        textPicture = QImage(size, QImage::Format_RGB32);
    textPicture.fill(Qt::white);
}

void Tesegui::showScreen()
{
    screen = textPicture;
    PaintCanvas->update();
}

void Tesegui::relayout()
{
    if (!model)
        return;
    clearPicture();
    const int height = textPicture.height();
    int total = 0;
    {
        QPainter painter(&textPicture);
        painter.setFont(textFont);
        total = model->layout(textPicture.width() - suggBut->width(), painter);
    }
    const QSignalBlocker block(ScrollBar1);
    ScrollBar1->setSingleStep(10);
    ScrollBar1->setPageStep(height);
    if (run.displayMode == wholeText) {
        ScrollBar1->setRange(0, std::max(total, height) - height);
        redraw();
    } else {
        placeShownSentence();
        paintShownSentence();
        showScreen();
    }
}

void Tesegui::redraw()
{
    if (!model)
        return;
    clearPicture();
    QPainter painter(&textPicture);
    painter.setFont(textFont);
    model->paintAll(painter, ScrollBar1->value(), true, textPicture.height());
    painter.end();
    showScreen();
}

void Tesegui::placeShownSentence()
{
    QPainter painter(&textPicture);
    painter.setFont(textFont);
    shownHeight = model->sentenceHeight(shownSentence, painter);
    painter.end();
    const int height = textPicture.height();
    const QSignalBlocker block(ScrollBar1);
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
    clearPicture();
    QPainter painter(&textPicture);
    painter.setFont(textFont);
    model->paintSentence(painter, shownTop - ScrollBar1->value(), shownSentence, false);
}

void Tesegui::scrolled(int)
{
    if (!exerciseLoaded || !model)
        return;
    if (run.displayMode == wholeText) {
        redraw();
    } else {
        paintShownSentence();
        showScreen();
    }
}

void Tesegui::scrollTo(int position)
{
    const QSignalBlocker block(ScrollBar1);
    ScrollBar1->setValue(position);
}

void Tesegui::bringIntoView(int n)
{
    std::pair<int, int> extent;
    {
        QPainter painter(&textPicture);
        painter.setFont(textFont);
        extent = model->sentenceExtent(painter, n);
    }
    const int position = ScrollBar1->value();
    const int view = textPicture.height();
    if (extent.first < position)
        scrollTo(extent.first);
    else if (position + view < extent.second)
        scrollTo(extent.second - view);
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
    QPainter painter(&textPicture);
    painter.setFont(textFont);
    return model->sentenceExtent(painter, n).first;
}

void Tesegui::canvasMouseDown(const QPoint& at)
{
    if (run.displayMode != wholeText || !exerciseLoaded || !model)
        return;
    HitResult hit;
    {
        QPainter painter(&textPicture);
        painter.setFont(textFont);
        hit = model->hitTest(at.x(), at.y() + ScrollBar1->value(), painter);
    }
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
    run.lastStepError = 0;
    Timer1->stop();
    run.displayMode = display;
    if (display == sentenceBySentence)
        Timer1->setInterval(options.maxSentenceTime * 1000);
    run.feedbackMode = feedback;
    run.runFinished = false;
    dropJournal();
    prepareScanning(display);

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
            Timer1->start();
        return true;
    }
    arrangeControls();
    clearPicture();
    showScreen();
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
    if (VS_IsTalking())
        VS_StopTalk();
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
    timerWasOn = Timer1->isActive();
    Timer1->stop();
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
        Timer1->start();
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
    switch (level) {
    case importante:
        return importanteBut;
    case moltoImportante:
        return moltoImportanteBut;
    default:
        return nonImportanteBut;
    }
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
    bool timerWasOn = false;
    beginAnswerWork(timerWasOn);

    int k = 0;
    if (run.displayMode == wholeText) {
        k = model->currentSentence;
        model->setImportance(k, ImportanceLevel(level));
        model->currentImportance = ImportanceLevel(level);
        bringIntoView(k);
        clearPicture();
        QPainter painter(&textPicture);
        painter.setFont(textFont);
        model->paintAll(painter, ScrollBar1->value(), true, textPicture.height());
    } else {
        k = shownSentence;
        model->setImportance(k, ImportanceLevel(level));
        paintShownSentence();
    }
    showScreen();
    rules.answered(k, ImportanceLevel(level));

    endAnswerWork(timerWasOn);
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
    Timer1->stop();
    auto shown = [this]() {
        PaintCanvas->repaint();
    };
    dissolveToColour(screen, 0, shownTop, Qt::white, 6, shownHeight, PaintCanvas->width(), shown);
    ++shownSentence;
    placeShownSentence();
    paintShownSentence();
    revealBands(screen, 0, shownTop, textPicture, 1, shownHeight, PaintCanvas->width(), shown);
    screen = textPicture;
    PaintCanvas->update();
    if (options.maxSentenceTime > 0 && run.displayMode == sentenceBySentence)
        Timer1->start();
}

void Tesegui::showSentenceAtOnce(int n)
{
    shownSentence = n;
    placeShownSentence();
    paintShownSentence();
    screen = textPicture;
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
    QString text;
    if (run.displayMode == wholeText) {
        QStringList lines;
        model->sentenceLines(model->currentSentence, lines);
        text = lines.join(QLatin1Char(' '));
    } else {
        text = spokenText;
    }
    VS_SayText(encodeCp1252(text).constData(), 1);
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
    QWidget* focused = focusWidget();
    QPushButton* target = nullptr;
    if (focused == nonImportanteBut)
        target = right ? importanteBut : moltoImportanteBut;
    else if (focused == importanteBut)
        target = right ? moltoImportanteBut : nonImportanteBut;
    else if (focused == moltoImportanteBut)
        target = right ? nonImportanteBut : importanteBut;
    else
        target = right ? moltoImportanteBut : nonImportanteBut;
    target->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// Access devices

void Tesegui::serialPress(TBottoneSeriale* sender)
{
    if (!scanning || scanning->suspended || !isActiveWindow())
        return;
    if (sender->dsrNow())
        scanning->performAction(device == serialOneSwitch ? scanSelect : scanNext);
    else if (sender->ctsNow())
        scanning->performAction(scanSelect);
}

void Tesegui::joystickDirection(int direction)
{
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
    const bool saved = saveRun(QStringLiteral("Vuoi salvare l'esercizio ?"));
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
    Timer1->stop();
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
    task.setTask(Memo1->toPlainText(), SpeechAvailable && options.useSpeech);
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
        storeRunAs(this, title, context.dataRoot + QStringLiteral("risult"), *model, run, fileFailed);
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

bool Tesegui::confirmClose()
{
    if (!unsaved)
        return true;
    const bool timerWasOn = Timer1->isActive();
    Timer1->stop();
    const DialogButton answer = askQuestion(
        QStringLiteral("Attenzione!"),
        QStringLiteral("L'esercizio in corso non è stato salvato. Vuoi salvarlo ?"),
        YesButton | NoAnswerButton | CancelButton, DialogIcon::Warning);
    if (answer == NoAnswerButton) {
        dropJournal();
        return true;
    }
    if (answer == YesButton && saveRun(QStringLiteral("Salva con nome")))
        return true;
    if (timerWasOn && !run.runFinished)
        Timer1->start();
    return false;
}

// ---------------------------------------------------------------------------
// The journal of the run, and going on with an interrupted run

void Tesegui::startJournal()
{
    RunJournalStart start;
    start.started = localNow();
    start.pupilName = run.pupilName;
    start.pupilInfo = run.pupilInfo;
    // Pupil profiles do not exist yet: the journal keeps an empty place for
    // the profile in force.
    start.profile = QString();
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
    start.font = textFont.toString();
    journal = std::make_unique<RunJournal>(runJournalFolder(context.dataRoot), start);
}

void Tesegui::recorded(bool ended)
{
    journalAnswer(ended);
}

void Tesegui::journalAnswer(bool ended)
{
    if (!journal || !model)
        return;
    RunJournalState state;
    state.historyFirst = run.historyFirst;
    state.historySecond = run.historySecond;
    state.historyThird = run.historyThird;
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
    state.font = textFont.toString();
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
    Timer1->stop();
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
    if (run.displayMode == sentenceBySentence)
        Timer1->setInterval(options.maxSentenceTime * 1000);
    prepareScanning(run.displayMode);

    model.reset();
    exerciseLoaded = false;
    if (!loadExerciseText(start.exerciseText, start.exerciseTask)) {
        arrangeControls();
        clearPicture();
        showScreen();
        return false;
    }
    rules.start(model.get(), options);
    QFont font;
    if (!state.font.isEmpty() && font.fromString(state.font)) {
        copyFont(font, textFont);
        PaintCanvas->setFont(textFont);
    }

    // Where it stood after its last answer.
    run.historyFirst = state.historyFirst;
    run.historySecond = state.historySecond;
    run.historyThird = state.historyThird;
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
        Timer1->start();
    return true;
}

// ---------------------------------------------------------------------------
// Menu

void Tesegui::chooseFont()
{
    QFont font = textFont;
    if (!dialogs().chooseFont(font, QStringLiteral("Scelta del font")))
        return;
    if (font.pointSize() > 48)
        font.setPointSize(48);
    copyFont(font, textFont);
    PaintCanvas->setFont(textFont);
    if (exerciseLoaded)
        relayout();
}

void Tesegui::openSpeechSetup()
{
    if (!SpeechAvailable)
        return;
    TFormSpeechSetup form(this);
    form.exec();
}
