#include "execution/Uanimaf.h"

#include "common/AppContext.h"
#include "common/TextFont.h"
#include "common/Utabella.h"
#include "model/Funzioni.h"
#include "model/Token.h"
#include "sound/SoundPlayer.h"
#include "speech/SpeechOutput.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>

namespace {

constexpr int pictureHeight = 288;
constexpr int border = 8;

// The comma-separated values of `text`, each trimmed; empty values between
// two commas are skipped.
QStringList values(const QString& text)
{
    QStringList out;
    TTokenizer tokens(QLatin1Char(','), text);
    while (tokens.hasMoreTokens())
        out << trimSpaces(tokens.nextToken());
    return out;
}

bool readInteger(const QString& text, int& value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok, 10);
    if (ok)
        value = parsed;
    return ok;
}

// Fills one of the FRAME, X, Y lists from its first position.
void readList(const QString& key, const QStringList& items, std::array<int, maxSpriteValues>& list,
              int& count, int sprite, QStringList& problems)
{
    list.fill(0);
    count = 0;
    for (const QString& item : items) {
        if (count == maxSpriteValues) {
            problems << QStringLiteral("oggetto %1: %2 ha più di %3 valori, gli altri sono ignorati")
                            .arg(sprite + 1)
                            .arg(key)
                            .arg(maxSpriteValues);
            break;
        }
        int value = 0;
        if (!readInteger(item, value))
            problems << QStringLiteral("oggetto %1: %2 contiene \"%3\", che non è un numero intero")
                            .arg(sprite + 1)
                            .arg(key, item);
        list[std::size_t(count++)] = value;
    }
}

} // namespace

QString portablePath(const QString& name)
{
    QString path = name;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

FeedbackScript readFeedbackScript(const QString& path, const QString& animationFolder)
{
    FeedbackScript script;
    QStringList lines;
    // A missing script is an empty one (nothing is created: the program's
    // folder may be read-only).
    if (!QFileInfo(path).isFile() || !loadText(lines, path))
        return script;

    enum { noBlock, pictureBlock, spriteBlock } block = noBlock;
    int counter = 0;
    const QDir folder(animationFolder);
    for (const QString& line : std::as_const(lines)) {
        if (trimSpaces(line).isEmpty())
            continue;
        if (line.contains(QLatin1String("###"))) {
            block = pictureBlock;
            counter = 0;
        } else if (line.contains(QLatin1String("***"))) {
            if (script.sprites.size() == maxSpriteBlocks)
                break;
            script.sprites.append(FeedbackSprite());
            block = spriteBlock;
            counter = 0;
        } else if (block == pictureBlock) {
            for (const QString& value : values(line)) {
                ++counter;
                if (counter == 1)
                    script.picture = value;
                else if (counter == 2)
                    script.flag = value.startsWith(QLatin1Char('T'), Qt::CaseInsensitive);
            }
        } else if (block == spriteBlock) {
            const int equals = line.indexOf(QLatin1Char('='));
            if (equals < 0)
                continue;
            const QString key = trimSpaces(line.left(equals)).toUpper();
            const QStringList items = values(trimSpaces(line.mid(equals + 1).left(255)));
            const int index = int(script.sprites.size()) - 1;
            FeedbackSprite& sprite = script.sprites.last();
            if (key == QLatin1String("FILE")) {
                for (const QString& value : items) {
                    ++counter;
                    if (counter == 1) {
                        sprite.file = value;
                        sprite.picture = QImage(folder.filePath(portablePath(value)));
                        if (sprite.picture.isNull())
                            script.problems << QStringLiteral("oggetto %1: immagine \"%2\" mancante o illeggibile")
                                                   .arg(index + 1)
                                                   .arg(value);
                    } else if (counter == 2) {
                        sprite.letter = value.isEmpty() ? QChar() : value.at(0).toUpper();
                    } else if (counter == 3) {
                        if (!readInteger(value, sprite.number))
                            script.problems << QStringLiteral("oggetto %1: FILE contiene \"%2\", che non è un numero intero")
                                                   .arg(index + 1)
                                                   .arg(value);
                    }
                }
            } else if (key == QLatin1String("FRAME")) {
                readList(key, items, sprite.frames, sprite.frameCount, index, script.problems);
            } else if (key == QLatin1String("X")) {
                readList(key, items, sprite.x, sprite.xCount, index, script.problems);
            } else if (key == QLatin1String("Y")) {
                readList(key, items, sprite.y, sprite.yCount, index, script.problems);
            }
        }
    }
    return script;
}

QString feedbackSoundFile(const QString& audioFolder, const QString& name)
{
    if (name.isEmpty())
        return {};
    const QStringList files = QDir(audioFolder).entryList({name + QStringLiteral("*.wav")},
                                                          QDir::Files, QDir::Name | QDir::IgnoreCase);
    return files.isEmpty() ? QString() : files.first();
}

TanimazioneForm::TanimazioneForm(const FeedbackRequest& request, const AppContext& context)
    : QDialog(request.owner, Qt::Dialog | Qt::FramelessWindowHint), req(request)
{
    setObjectName(QStringLiteral("animazioneForm"));
    setModal(true);
    if (req.customSize)
        setFixedSize(req.windowWidth, req.windowHeight);
    else
        setFixedSize(250, 440);

    panelBottom = new QWidget(this);
    panelBottom->setObjectName(QStringLiteral("panelBottom"));
    panelPulsanti = new QWidget(panelBottom);
    panelPulsanti->setObjectName(QStringLiteral("panelPulsanti"));

    const struct {
        QPushButton** button;
        const char* name;
        const char* caption;
        const char* spoken;
        int offer;
        int tag;
        FeedbackAnswer answer;
    } buttons[] = {
        {&yesBut, "yesBut", "&Sì", "sì", offerYes, 0, answerYes},
        {&okBut, "okBut", "&OK", "ok", offerOk, 1, answerOk},
        {&noBut, "noBut", "&No", "no", offerNo, 2, answerNo},
    };
    int offeredCount = 0;
    for (const auto& entry : buttons)
        offeredCount += (req.offeredButtons & entry.offer) ? 1 : 0;
    // The buttons shown stand side by side in the middle of their panel; a
    // large scanning frame gets room around each.
    const int margin = req.scanningAccess ? req.timing.frameMargin() : ScanTiming::normalMargin;
    const bool large = margin > ScanTiming::normalMargin;
    const int spacing = large ? 2 * margin + 2 : 7;
    const int rowWidth = offeredCount * 50 + qMax(0, offeredCount - 1) * spacing;
    const int top = large ? margin + 2 : 4;
    panelPulsanti->resize(large ? rowWidth + 2 * top : 173, 29 + 2 * top);
    bottomHeight = large ? panelPulsanti->height() + 12 : 49;
    int x = (panelPulsanti->width() - rowWidth) / 2;
    for (const auto& entry : buttons) {
        auto button = new QPushButton(QString::fromUtf8(entry.caption), panelPulsanti);
        *entry.button = button;
        button->setObjectName(QLatin1String(entry.name));
        button->setProperty("spokenLabel", QString::fromUtf8(entry.spoken));
        const bool offered = req.offeredButtons & entry.offer;
        button->setGeometry(x, top, 50, 29);
        if (offered)
            x += 50 + spacing;
        button->setVisible(offered);
        // A hidden button stays out of the scanning.
        button->setProperty("tag", offered ? entry.tag : -1);
        const FeedbackAnswer answer = entry.answer;
        connect(button, &QPushButton::clicked, this, [this, answer] { done(answer); });
    }

    panelRight = new QWidget(this);
    panelRight->setObjectName(QStringLiteral("panelRight"));
    paintRight = new QWidget(panelRight);
    paintRight->setObjectName(QStringLiteral("paintRight"));
    paintRight->installEventFilter(this);

    panelLeft = new QWidget(this);
    panelLeft->setObjectName(QStringLiteral("panelLeft"));
    paintLeft = new QLabel(panelLeft);
    paintLeft->setObjectName(QStringLiteral("paintLeft"));
    paintLeft->setAlignment(Qt::AlignCenter);
    panelLeftBottom = new QWidget(panelLeft);
    panelLeftBottom->setObjectName(QStringLiteral("panelLeftBottom"));
    Memo1 = new QTextEdit(panelLeftBottom);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont messageFont(textFontFamily);
    messageFont.setPixelSize(18);
    Memo1->setFont(messageFont);
    Memo1->document()->setDocumentMargin(0);
    QPalette memoColours = Memo1->palette();
    memoColours.setColor(QPalette::Base, memoColours.color(QPalette::Window));
    Memo1->setPalette(memoColours);
    QTextOption centred = Memo1->document()->defaultTextOption();
    centred.setAlignment(Qt::AlignHCenter);
    Memo1->document()->setDefaultTextOption(centred);
    Memo1->setPlainText(feedbackMessage(req.kind));
    layoutPanels();

    if (req.scanningAccess) {
        scan = std::make_unique<TScansione>(panelBottom, req.timing, req.device);
        scan->setVoice(speechScanVoice());
        scan->startScanning();
    }
    if (req.scanningAccess && (req.device == serialTwoSwitch || req.device == serialOneSwitch)) {
        serialSwitches = context.serialSwitches;
        if (serialSwitches) {
            keptHandler = serialSwitches->pressHandler();
            serialSwitches->setPressHandler(
                [this](TBottoneSeriale* sender) { serialPress(sender); });
            holdsSerial = true;
        }
    }

    const QString name = feedbackKindName(req.kind);
    const QString animationFolder = context.programFolder + QStringLiteral("animazio/");
    scriptRead = readFeedbackScript(animationFolder + name + QStringLiteral("1.txt"), animationFolder);
    if (!scriptRead.picture.isEmpty())
        showPicture(animationFolder + portablePath(scriptRead.picture));

    const QString audioFolder = context.programFolder + QStringLiteral("audio/");
    const QString soundFile = feedbackSoundFile(audioFolder, name);
    player = makeSoundPlayer();
    if (!soundFile.isEmpty()) {
        sound = audioFolder + soundFile;
        player->play(sound);
    }
}

TanimazioneForm::~TanimazioneForm()
{
    paintRight->removeEventFilter(this);
    player->stop();
    if (holdsSerial)
        serialSwitches->setPressHandler(keptHandler);
    if (scan)
        scan->stopScanning();
    scan.reset();
}

void TanimazioneForm::showPicture(const QString& path)
{
    // Shown whole: a picture larger than its place is scaled down, its proportions kept.
    const auto fit = [this](const QPixmap& picture) {
        if (picture.width() > paintLeft->width() || picture.height() > paintLeft->height())
            paintLeft->setPixmap(
                picture.scaled(paintLeft->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        else
            paintLeft->setPixmap(picture);
    };
    auto animation = new QMovie(path, QByteArray(), this);
    if (animation->isValid() && animation->frameCount() != 1) {
        movie = animation;
        const auto showFrame = [this, fit] {
            if (!movie->currentPixmap().isNull())
                fit(movie->currentPixmap());
        };
        connect(movie, &QMovie::frameChanged, this, showFrame);
        movie->start();
        showFrame();
        return;
    }
    delete animation;
    const QPixmap still(path);
    if (still.isNull())
        scriptRead.problems << QStringLiteral("immagine \"%1\" mancante o illeggibile").arg(path);
    else
        fit(still);
}

void TanimazioneForm::layoutPanels()
{
    const int w = width();
    const int h = height();
    panelBottom->setGeometry(0, h - bottomHeight, w, bottomHeight);
    panelPulsanti->move((w - panelPulsanti->width()) / 2,
                        (bottomHeight - panelPulsanti->height()) / 2);
    const int tableWidth = req.customSize ? qBound(0, req.tableWidth, w) : 0;
    panelRight->setGeometry(w - tableWidth, 0, tableWidth, h - bottomHeight);
    paintRight->setGeometry(0, 0, tableWidth, h - bottomHeight);
    const int leftWidth = w - tableWidth;
    panelLeft->setGeometry(0, 0, leftWidth, h - bottomHeight);
    const int inner = qMax(0, leftWidth - 2 * border);
    paintLeft->setGeometry(border, border, inner, pictureHeight);
    panelLeftBottom->setGeometry(border, border + pictureHeight, inner,
                                 qMax(0, h - bottomHeight - 2 * border - pictureHeight));
    Memo1->setGeometry(0, 0, panelLeftBottom->width(), panelLeftBottom->height());
}

void TanimazioneForm::showTable(const AnswerCounts& counts)
{
    const int s = paintRight->width() - 20;
    TableGeometry g;
    g.left = 10;
    g.top = 20;
    g.width = s;
    g.height = s + 25;
    g.titleColumnWidth = 20;
    g.titleRowHeight = 20;
    g.labelColumnWidth = 25;
    g.labelRowHeight = 25;
    g.cellWidth = (s - 45) / 3;
    g.cellHeight = (s - 20) / 3;
    g.lineColour = Qt::black;
    g.backColour = palette().color(QPalette::Button);
    g.forPrinter = false;
    answerTable = std::make_unique<TTabella>(nullptr, counts, g);
    paintRight->setToolTip(QStringLiteral("Sulla diagonale colorata ci sono le risposte esatte,\n"
                                          "mentre nelle caselle grigie ci sono le risposte sbagliate."));
    paintRight->update();
}

bool TanimazioneForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == paintRight && event->type() == QEvent::Paint) {
        QPainter painter(paintRight);
        if (answerTable) {
            // The wrong answers lie on grey, as the hint says.
            painter.fillRect(paintRight->rect(), answerTable->geometry().backColour);
            painter.setFont(paintRight->font());
            answerTable->setCanvas(&painter);
            answerTable->paint();
            answerTable->setCanvas(nullptr);
        } else {
            painter.fillRect(paintRight->rect(), Qt::white);
        }
        // The window's border runs along the area's top and right edges.
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(0, 0, paintRight->width() - 1, 0);
        painter.drawLine(paintRight->width() - 1, 0, paintRight->width() - 1, paintRight->height() - 1);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TanimazioneForm::serialPress(TBottoneSeriale* sender)
{
    if (!scan || !sender)
        return;
    if (!isActiveWindow() && QApplication::activeModalWidget() != this)
        return;
    if (sender->dsrNow())
        scan->switchPressed(req.device == serialOneSwitch ? scanSelect : scanNext,
                            [sender] { return sender->dsrNow(); });
    else if (sender->ctsNow())
        scan->switchPressed(scanSelect, [sender] { return sender->ctsNow(); });
}

void TanimazioneForm::keyPressEvent(QKeyEvent* event)
{
    // The pupil answers with one of the buttons: Escape does not take a
    // question away. Closing the window otherwise (the session ends) gives
    // answerNone.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier
        && (req.offeredButtons & (offerYes | offerNo | offerOk))) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TanimazioneForm::paintEvent(QPaintEvent* event)
{
    QDialog::paintEvent(event);
    // The thin border of a window without a caption bar.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void TanimazioneForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    layoutPanels();
}

void TanimazioneForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}
