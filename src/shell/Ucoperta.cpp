#include "shell/Ucoperta.h"

#include "shell/ProgramPictures.h"
#include "shell/Umascher.h"

#include <QBitmap>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>

#include <memory>

QPixmap buildTitlePicture(const QImage& cover, const QImage& lettering, QPoint at)
{
    if (lettering.isNull())
        return {};
    QImage title(lettering.size(), QImage::Format_RGB32);
    title.fill(QColor(0, 0, 64));
    QPainter painter(&title);
    if (!cover.isNull())
        painter.drawImage(QPoint(0, 0), cover, QRect(at, lettering.size()));
    QPixmap letters = QPixmap::fromImage(lettering);
    const QColor transparent = lettering.pixelColor(0, 0);
    letters.setMask(letters.createMaskFromColor(transparent, Qt::MaskInColor));
    painter.drawPixmap(0, 0, letters);
    painter.end();
    return QPixmap::fromImage(title);
}

TcopertinaPaintBox::TcopertinaPaintBox(QWidget* parent) : QWidget(parent), Timer1(new QTimer(this))
{
    setObjectName(QStringLiteral("PaintCopertina"));
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &TcopertinaPaintBox::timerTick);
}

void TcopertinaPaintBox::setPictures(const QPixmap& coverPicture, const QPixmap& titlePicture)
{
    cover = coverPicture;
    title = titlePicture;
    update();
}

void TcopertinaPaintBox::restartWipe()
{
    wipe = 0;
    Timer1->setInterval(700);
    Timer1->start();
    update();
}

bool TcopertinaPaintBox::wipeRunning() const
{
    return Timer1->isActive();
}

void TcopertinaPaintBox::timerTick()
{
    if (makeTitle) {
        title = makeTitle();
        makeTitle = nullptr;
    }
    Timer1->setInterval(1);
    if (wipe > title.width()) {
        Timer1->stop();
        return;
    }
    const QRect strip(titleOrigin.x() + wipe, titleOrigin.y(), stripWidth, title.height());
    wipe += stripWidth;
    pendingStrips += strip;
    update(strip);
}

void TcopertinaPaintBox::paintEvent(QPaintEvent* event)
{
    // Only the strips of the wipe continue it; any other repaint (the cover
    // shown, uncovered, redrawn) shows the cover and starts the wipe again.
    const bool wipeStrips = !pendingStrips.isEmpty() && event->region().subtracted(pendingStrips).isEmpty();
    pendingStrips = QRegion();
    if (!wipeStrips) {
        wipe = 0;
        Timer1->setInterval(700);
        Timer1->start();
    }
    if (makeCover) {
        cover = makeCover();
        makeCover = nullptr;
    }
    QPainter painter(this);
    if (cover.isNull())
        painter.fillRect(rect(), QColor(0, 0, 64));
    else
        painter.drawPixmap(-2, -2, cover);
    if (!title.isNull() && wipe > 0) {
        const int shown = qMin(wipe, title.width());
        painter.drawPixmap(titleOrigin, title, QRect(0, 0, shown, title.height()));
    }
}

void TcopertinaPaintBox::mousePressEvent(QMouseEvent*)
{
    emit clicked();
}

namespace {

QLabel* creditLabel(QWidget* parent, const QString& text, int x, int y, int pixelSize, bool bold)
{
    auto label = new QLabel(text, parent);
    QFont font(QStringLiteral("Liberation Serif"));
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    // Yellow on the picture (a palette: a style sheet costs the cover's first
    // frame several milliseconds).
    QPalette colours = label->palette();
    colours.setColor(QPalette::WindowText, QColor(255, 255, 0));
    label->setPalette(colours);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    // Room to the picture's right edge, one line high: measuring the text
    // would read the fonts before the cover is on screen, which waits for
    // them only when it paints.
    label->setGeometry(x, y, parent->width() - x, pixelSize * 3 / 2);
    return label;
}

} // namespace

Tcopertina::Tcopertina(const QString& programFolder, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("Tcopertina"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(632, 453);

    PanelCopertina = new QFrame(this);
    PanelCopertina->setObjectName(QStringLiteral("PanelCopertina"));
    PanelCopertina->setGeometry(rect());
    PanelCopertina->setFrameStyle(QFrame::Panel | QFrame::Raised);
    PanelCopertina->setLineWidth(3);

    PaintCopertina = new TcopertinaPaintBox(PanelCopertina);
    PaintCopertina->setGeometry(3, 3, 632 - 6, 453 - 6);

    const QString pictures = QDir(programFolder).filePath(QStringLiteral("immagini"));
    // The pictures are read when the cover is first painted: the window is
    // on screen sooner, and its first frame is the same.
    const QString coverFile = QDir(pictures).filePath(QStringLiteral("cover.bmp"));
    const QString lettering = QDir(pictures).filePath(QStringLiteral("scritta.bmp"));
    const auto coverImage = std::make_shared<QImage>();
    const auto readCover = [coverImage, coverFile]() -> const QImage& {
        if (coverImage->isNull())
            *coverImage = readProgramPicture(coverFile);
        return *coverImage;
    };
    PaintCopertina->setCoverMaker([readCover]() { return QPixmap::fromImage(readCover()); });
    PaintCopertina->setTitleMaker([readCover, lettering]() {
        // The cover is drawn at (-2, -2): the title takes the part of the
        // cover that lies under it on screen, so that no seam shows around
        // the letters.
        const QPoint under = TcopertinaPaintBox::titleOrigin + QPoint(2, 2);
        return buildTitlePicture(readCover(), readProgramPicture(lettering), under);
    });

    const int left[] = {256, 283, 310, 337, 364};
    const QString leftLines[] = {
        QStringLiteral("Salienta per Linux"),
        QStringLiteral("versione %1").arg(QStringLiteral(SALIENTA_VERSION)),
        QStringLiteral("Software libero: GNU GPL 3 o successiva"),
        QStringLiteral("Realizzato con Qt, SDL2"),
        QStringLiteral("e la sintesi vocale espeak-ng"),
    };
    for (int i = 0; i < 5; ++i)
        creditLabel(PaintCopertina, leftLines[i], 26, left[i], 19, true);
    creditLabel(PaintCopertina, QStringLiteral("Le frasi"), 405, 256, 19, true);
    creditLabel(PaintCopertina, QStringLiteral("importanti"), 405, 278, 19, true);
    creditLabel(PaintCopertina, QStringLiteral("premi un tasto per cominciare"), 192, 405, 21, false);

    connect(PaintCopertina, &TcopertinaPaintBox::clicked, this, &QDialog::accept);
}

void Tcopertina::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The first window of the program has no main window to stand over.
    if (!parentWidget()) {
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    PaintCopertina->restartWipe();
}

void Tcopertina::keyPressEvent(QKeyEvent* event)
{
    Q_UNUSED(event);
    accept();
}
