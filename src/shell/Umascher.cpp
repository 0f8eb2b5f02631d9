#include "shell/Umascher.h"

#include "access/SerBtn.h"
#include "authoring/Uprepara.h"
#include "common/Hint.h"
#include "common/Instruct.h"
#include "execution/Uesegui.h"
#include "execution/Uripresa.h"
#include "execution/Uopzioni.h"
#include "execution/Usceltae.h"
#include "model/DialogService.h"
#include "model/fileFunc.h"
#include "results/Urisult.h"
#include "shell/ProgramPictures.h"
#include "shell/Ucoperta.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechF.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLibraryInfo>
#include <QMovie>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QTranslator>
#include <QWindow>
#include <functional>

namespace {

Tmaschera* theMainWindow = nullptr;

QString withSlash(const QString& folder)
{
    QString path = QDir::cleanPath(folder);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

const char* const dataFolders[] = {"testi", "esercizi", "risult"};

} // namespace

QString locateProgramFolder(const QString& applicationDir)
{
    const QDir here(applicationDir);
    if (here.exists(QStringLiteral("immagini")) || here.exists(QStringLiteral("istruzio.txt")))
        return withSlash(here.absolutePath());
    const QString installed = here.absoluteFilePath(QStringLiteral("../share/salienta"));
    if (QFileInfo(installed).isDir())
        return withSlash(installed);
    return withSlash(here.absolutePath());
}

bool dataInProgramFolder(const QString& programFolder, const QString& applicationDir)
{
    return withSlash(programFolder) == withSlash(QDir(applicationDir).absolutePath())
           && QFileInfo(programFolder).isWritable();
}

bool prepareDataRoot(const QString& programFolder, bool programFolderWritable,
                     const QString& userDataFolder, QString& dataRoot)
{
    if (programFolderWritable) {
        dataRoot = withSlash(programFolder);
    } else {
        // The program folder's own name keeps the data of two copies of the
        // program apart.
        QString ownName = QDir(QDir::cleanPath(programFolder)).dirName();
        if (ownName.isEmpty() || ownName == QLatin1String("/") || ownName == QLatin1String("."))
            ownName = QStringLiteral("salienta");
        dataRoot = withSlash(QDir(userDataFolder).filePath(ownName));
        if (!QDir().mkpath(dataRoot))
            return false;
        for (const char* name : dataFolders) {
            const QString folder = QLatin1String(name);
            if (!directoryExists(dataRoot + folder))
                copyTree(withSlash(programFolder) + folder, dataRoot,
                         faReadOnly | faHidden | faDirectory | faArchive, false);
        }
    }
    // The activities expect their folders: an empty one is made where the
    // copy gave none (a folder that cannot be made is reported where it is used).
    for (const char* name : dataFolders)
        QDir().mkpath(dataRoot + QLatin1String(name));
    return true;
}

bool loadQtTranslation(QTranslator& translator)
{
    return translator.load(QStringLiteral("qtbase_it"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

namespace {

QPushButton* pushButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

// The pictures of the two large buttons, from the program folder: an archive
// box for the results, a start arrow for the execution. A missing picture
// leaves the button with its caption only.
QIcon programPicture(const QString& programFolder, const QString& name)
{
    const QString file = QDir(programFolder).filePath(QStringLiteral("immagini/") + name);
    const QImage picture = readProgramPicture(file);
    return picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture));
}

QIcon archivePicture(const QString& programFolder)
{
    return programPicture(programFolder, QStringLiteral("archivio.png"));
}

QIcon startPicture(const QString& programFolder)
{
    return programPicture(programFolder, QStringLiteral("esecuzione.png"));
}

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& caption,
                           QRect geometry, const QIcon& picture)
{
    auto button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setText(caption);
    button->setGeometry(geometry);
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setIcon(picture);
    button->setIconSize(QSize(48, 48));
    return button;
}

void setHint(QWidget* control, const QString& hint)
{
    if (hint.isEmpty())
        return;
    QString wrapped = wrapHint(hint);
    wrapped.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    control->setToolTip(wrapped);
}

} // namespace

Tmaschera::Tmaschera(const AppContext& folders, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      serialSwitches(std::make_unique<TBottoneSeriale>()), appContext(folders)
{
    appContext.serialSwitches = serialSwitches.get();
    theMainWindow = this;
    setObjectName(QStringLiteral("Tmaschera"));
    setWindowTitle(QStringLiteral("  Salienta"));
    setFixedSize(640, 480);

    paintMaschera = new QLabel(this);
    paintMaschera->setObjectName(QStringLiteral("paintMaschera"));
    paintMaschera->setGeometry(268, 24, 340, 340);
    paintMaschera->setAlignment(Qt::AlignCenter);

    opzioniBut = pushButton(this, "opzioniBut", QStringLiteral("&opzioni generali"), {22, 24, 230, 33});
    preparazioneBut = pushButton(this, "preparazioneBut", QStringLiteral("&preparazione dei testi"),
                                 {22, 68, 230, 37});
    SintesiBut = pushButton(this, "SintesiBut", QStringLiteral("&configura sintesi"), {22, 120, 230, 33});
    risultatiBut = pictureButton(this, "risultatiBut", QStringLiteral("F9  &archivio di risultati"),
                                 {22, 168, 230, 100}, archivePicture(appContext.programFolder));
    esecuzioneBut = pictureButton(this, "esecuzioneBut",
                                  QStringLiteral("F10  &esecuzione degli esercizi"),
                                  {22, 280, 230, 100}, startPicture(appContext.programFolder));
    ButtonInfo = pushButton(this, "ButtonInfo", QStringLiteral("F1    &informazioni"), {280, 400, 153, 33});
    projectBut = pushButton(this, "projectBut", QStringLiteral("F2    p&rogetto"), {448, 400, 153, 33});

    setHint(opzioniBut, QStringLiteral("Permette di impostare alcuni parametri di esecuzione degli esercizi."));
    setHint(preparazioneBut,
            QStringLiteral("Per creare, modificare, caricare, salvare gli esercizi che verranno "
                           "successivamente eseguiti nella finestra..."));
    setHint(risultatiBut, QStringLiteral("Per poter rivedere gli esercizi svolti, divisi per autore."));
    setHint(esecuzioneBut, QStringLiteral("In questa finestra si svolge l'esercizio vero e proprio."));
    setHint(ButtonInfo,
            QStringLiteral("Breve descrizione delle funzioni a cui si accede da questa schermata."));
    setHint(projectBut, QStringLiteral("Per sapere in quale progetto si inserisce il programma SALIENTA."));

    // The speech set-up needs a working speech engine.
    SintesiBut->setEnabled(SpeechAvailable);

    connect(opzioniBut, &QPushButton::clicked, this, &Tmaschera::opzioniButClick);
    connect(SintesiBut, &QPushButton::clicked, this, &Tmaschera::SintesiButClick);
    connect(preparazioneBut, &QPushButton::clicked, this, [this]() { Tprepara::openModal(appContext, this); });
    connect(risultatiBut, &QToolButton::clicked, this, &Tmaschera::risultatiButClick);
    connect(esecuzioneBut, &QToolButton::clicked, this, [this]() {
        startExerciseRun(this, appContext, [this](TsceltaEs& setUp) {
            Tesegui run(Tesegui::setupFrom(setUp), appContext, this);
            if (run.ready())
                run.exec();
        });
    });
    connect(ButtonInfo, &QPushButton::clicked, this, &Tmaschera::ButtonInfoClick);
    connect(projectBut, &QPushButton::clicked, this, &Tmaschera::projectButClick);

    QRandomGenerator::global()->generate();

    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - rect().center());
    }
}

Tmaschera::~Tmaschera()
{
    if (theMainWindow == this)
        theMainWindow = nullptr;
}

Tmaschera* Tmaschera::instance()
{
    return theMainWindow;
}

namespace {

// Runs `work` once, right after the window's first frame has been painted
// and before any other event (a key, a click) is handled.
class AfterFirstFrame : public QObject
{
public:
    AfterFirstFrame(QWindow* shown, std::function<void()> then)
        : QObject(shown), window(shown), work(std::move(then))
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != window || event->type() != QEvent::Expose || !window->isExposed())
            return false;
        window->removeEventFilter(this);
        static_cast<QObject*>(window)->event(event);    // the frame first
        work();
        deleteLater();
        return true;
    }

private:
    QWindow* window;
    std::function<void()> work;
};

} // namespace

void Tmaschera::start()
{
    {
        Tcopertina cover(appContext.programFolder, this);
        cover.exec();
    }
    showAfterCover();
}

void Tmaschera::showAfterCover()
{
    // The speech engine and the animation are started once the window is on
    // screen, so it appears sooner; no key or click is handled before.
    create();
    if (QWindow* handle = windowHandle())
        new AfterFirstFrame(handle, [this]() { finishStart(); });
    else
        finishStart();
    show();
    raise();
    activateWindow();
}

std::unique_ptr<Tmaschera> startProgram(const AppContext& folders)
{
    std::unique_ptr<Tmaschera> mainWindow;
    const auto build = [&mainWindow, &folders]() {
        if (!mainWindow)
            mainWindow = std::make_unique<Tmaschera>(folders);
    };
    {
        Tcopertina cover(folders.programFolder);
        cover.winId();    // its window exists, so that its first frame can be watched
        if (QWindow* handle = cover.windowHandle())
            new AfterFirstFrame(handle, build);
        cover.exec();
    }
    build();
    mainWindow->showAfterCover();
    return mainWindow;
}

void Tmaschera::finishStart()
{
    startAnimation();
    if (!SpeechAvailable)
        SpeechAvailable = startSpeech();
    SintesiBut->setEnabled(SpeechAvailable);
    // Runs that a crash or a power cut interrupted are offered once the
    // window is there.
    QTimer::singleShot(0, this, &Tmaschera::offerInterruptedRuns);
}

void Tmaschera::offerInterruptedRuns()
{
    ::offerInterruptedRuns(this, appContext.dataRoot, serialSwitches.get(), [this](const InterruptedRun& found) {
        Tesegui run(Tesegui::setupFor(found.start), appContext, this);
        if (!run.ready())
            return;
        run.resumeOnShow(found.path);
        run.exec();
    });
}

void Tmaschera::startAnimation()
{
    if (animation)
        return;
    const QString gif = QDir(appContext.programFolder).filePath(QStringLiteral("immagini/salAnim.gif"));
    if (!QFileInfo(gif).isFile())
        return;
    animation = new QMovie(gif, QByteArray(), this);
    if (animation->isValid()) {
        paintMaschera->setMovie(animation);
        animation->start();
        paintMaschera->repaint();    // shown at once, before the speech engine starts
    }
}

void Tmaschera::opzioniButClick()
{
    TopzioniForm form(appContext.options, defaultOptions, this);
    if (form.exec() == QDialog::Accepted)
        appContext.options = form.chosenOptions();
}

void Tmaschera::SintesiButClick()
{
    if (!SpeechAvailable)
        return;
    TFormSpeechSetup form(this);
    form.exec();
}

void Tmaschera::risultatiButClick()
{
    Trisultati window(appContext, this);
    window.exec();
}

void Tmaschera::ButtonInfoClick()
{
    showInstructions(this, appContext.programFolder, QStringLiteral(" informazioni"), QStringLiteral("istruzio.txt"));
}

void Tmaschera::projectButClick()
{
    showInstructions(this, appContext.programFolder, QStringLiteral(" progetto"), QStringLiteral("progetto.txt"));
}

void Tmaschera::keyPressEvent(QKeyEvent* event)
{
    auto press = [](QAbstractButton* button) {
        if (button->isEnabled())
            button->click();
    };
    switch (event->key()) {
    case Qt::Key_Escape:
        close();
        break;
    case Qt::Key_F1:
        press(ButtonInfo);
        break;
    case Qt::Key_F2:
        press(projectBut);
        break;
    case Qt::Key_F9:
        press(risultatiBut);
        break;
    case Qt::Key_F10:
        press(esecuzioneBut);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void Tmaschera::closeEvent(QCloseEvent* event)
{
    if (askQuestion(QStringLiteral("Conferma"), QStringLiteral("Vuoi uscire dal programma ?"),
                    YesButton | NoAnswerButton, DialogIcon::Question)
        == YesButton)
        event->accept();
    else
        event->ignore();
}
