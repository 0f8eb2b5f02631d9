// Draws every picture of Salienta's program folder.
//
//   drawassets <output folder>
//
// writes
//   <out>/immagini/nonBu1.png ... moltoBu2.png   level-button glyphs
//   <out>/immagini/cover.png, scritta.png        cover and title lettering
//   <out>/frames/<name>/fNN.png + delays.txt     frames of every animation
//   <out>/immagini/archivio.png, esecuzione.png  pictures of the main window's two large buttons
//   <out>/icona/<size>.png, icona/icona.svg       the program's desktop icon
// generate-assets.sh turns them into BMP and GIF files and puts the icon in
// the desktop data folder.
//
// Everything is drawn here with QPainter: the mascot (an owl), pages of
// text with coloured sentences, arrows, stars.

#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <QSvgGenerator>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <vector>

namespace {

QString outDir;

// Colours of the three importance levels, as the program shows them.
struct LevelColours {
    QColor fill;
    QColor text;
};
const LevelColours levelNon{QColor(255, 255, 255), QColor(0, 0, 0)};
const LevelColours levelImp{QColor(0, 255, 255), QColor(255, 0, 0)};
const LevelColours levelMolto{QColor(255, 0, 0), QColor(0, 255, 255)};
const QColor focusYellow(255, 255, 0);
const QColor ink(40, 30, 25);

LevelColours levelColours(int level)
{
    switch (level) {
    case 2: return levelImp;
    case 3: return levelMolto;
    default: return levelNon;
    }
}

QFont makeFont(const QString& family, int pixelSize, bool bold, bool italic = false)
{
    QFont f(family);
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

void save(const QImage& img, const QString& relPath)
{
    const QString path = outDir + QLatin1Char('/') + relPath;
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (!img.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

QImage canvas(int w, int h, const QColor& bg)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(bg);
    return img;
}

// ---------------------------------------------------------------- the owl

enum class Mood { Calm, Happy, Thinking, Gentle };

struct Owl {
    double wing = 0;       // degrees the wings are raised
    bool blink = false;    // eyes closed (happy squint when Mood::Happy)
    QPointF look{0, 0};    // pupils' direction, -1..1 each
    Mood mood = Mood::Calm;
    bool cap = false;      // graduation cap
};

// The owl in its own coordinates spans about -85..100 vertically and
// -80..80 horizontally; `c` is its centre, `s` its scale.
void drawOwl(QPainter& p, QPointF c, double s, const Owl& o)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(c);
    p.scale(s, s);
    const QPen outline(QColor(70, 40, 20), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QColor body(176, 112, 64), belly(248, 228, 194), wingC(138, 84, 44);
    const QColor beak(255, 170, 20), feet(240, 140, 30);

    p.setPen(outline);
    p.setBrush(feet);
    p.drawEllipse(QPointF(-22, 92), 15, 8);
    p.drawEllipse(QPointF(22, 92), 15, 8);

    for (int side : {-1, 1}) {
        p.save();
        p.translate(side * 50, 5);
        p.rotate(-side * o.wing);
        p.setBrush(wingC);
        p.drawEllipse(QPointF(side * 6, 38), 18, 42);
        p.restore();
    }

    p.setBrush(body);
    QPolygonF tuftL{QPointF(-54, -20), QPointF(-52, -80), QPointF(-18, -50)};
    QPolygonF tuftR{QPointF(54, -20), QPointF(52, -80), QPointF(18, -50)};
    p.drawPolygon(tuftL);
    p.drawPolygon(tuftR);
    p.drawEllipse(QPointF(0, 18), 62, 74);

    p.setPen(Qt::NoPen);
    p.setBrush(belly);
    p.drawEllipse(QPointF(0, 48), 38, 40);
    p.setPen(QPen(QColor(205, 160, 110), 2.5, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (int row = 0; row < 3; ++row)
        for (int col = -1; col <= 1; ++col) {
            const double x = col * 18 + (row % 2 ? 9 : 0);
            if (std::abs(x) > 28)
                continue;
            const double y = 32 + row * 16;
            p.drawArc(QRectF(x - 6, y - 4, 12, 8), 200 * 16, 140 * 16);
        }

    // facial disc and eyes
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(226, 176, 124));
    p.drawEllipse(QPointF(-25, -10), 30, 29);
    p.drawEllipse(QPointF(25, -10), 30, 29);
    p.setPen(outline);
    for (int side : {-1, 1}) {
        const QPointF eye(side * 25, -10);
        if (o.blink) {
            p.setBrush(QColor(226, 176, 124));
            p.setPen(QPen(QColor(70, 40, 20), 4, Qt::SolidLine, Qt::RoundCap));
            p.setBrush(Qt::NoBrush);
            if (o.mood == Mood::Happy)
                p.drawArc(QRectF(eye.x() - 15, eye.y() - 8, 30, 24), 20 * 16, 140 * 16);
            else
                p.drawArc(QRectF(eye.x() - 15, eye.y() - 14, 30, 22), 200 * 16, 140 * 16);
            p.setPen(outline);
        } else {
            p.setBrush(Qt::white);
            p.drawEllipse(eye, 22, 22);
            const QPointF pupil = eye + QPointF(o.look.x() * 8, o.look.y() * 7);
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(35, 25, 20));
            p.drawEllipse(pupil, 11.5, 11.5);
            p.setBrush(Qt::white);
            p.drawEllipse(pupil + QPointF(-4, -4), 4, 4);
            p.setPen(outline);
        }
    }

    // eyebrows give the mood
    QPen brow(QColor(90, 52, 26), 5, Qt::SolidLine, Qt::RoundCap);
    p.setPen(brow);
    if (o.mood == Mood::Thinking) {
        p.drawLine(QPointF(-42, -44), QPointF(-12, -50));
        p.drawLine(QPointF(12, -40), QPointF(40, -40));
    } else if (o.mood == Mood::Gentle) {
        p.drawLine(QPointF(-40, -38), QPointF(-14, -44));
        p.drawLine(QPointF(14, -44), QPointF(40, -38));
    }

    // cheeks and beak
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 140, 150, 150));
    p.drawEllipse(QPointF(-46, 16), 9, 6);
    p.drawEllipse(QPointF(46, 16), 9, 6);
    p.setPen(outline);
    p.setBrush(beak);
    p.drawPolygon(QPolygonF{QPointF(-9, 6), QPointF(9, 6), QPointF(0, 26)});
    if (o.mood == Mood::Happy) {
        p.setPen(QPen(QColor(70, 40, 20), 3, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(-14, 18, 28, 14), 200 * 16, 140 * 16);
    }

    if (o.cap) {
        p.setPen(outline);
        p.setBrush(QColor(30, 30, 60));
        p.drawRect(QRectF(-26, -66, 52, 16));
        p.drawPolygon(QPolygonF{QPointF(-56, -70), QPointF(0, -90), QPointF(56, -70),
                                QPointF(0, -52)});
        p.setPen(QPen(QColor(255, 200, 0), 3));
        p.drawLine(QPointF(0, -71), QPointF(44, -66));
        p.drawLine(QPointF(44, -66), QPointF(46, -44));
        p.setBrush(QColor(255, 200, 0));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(46, -42), 5, 6);
    }
    p.restore();
}

// ---------------------------------------------------------------- props

void drawStar(QPainter& p, QPointF c, double r, bool filled, double rotation = 0)
{
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double a = (rotation - 90 + i * 36) * M_PI / 180.0;
        const double rr = (i % 2) ? r * 0.45 : r;
        star << c + QPointF(std::cos(a) * rr, std::sin(a) * rr);
    }
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(170, 110, 0), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(filled ? QBrush(QColor(255, 205, 20)) : QBrush(QColor(255, 255, 255, 160)));
    p.drawPolygon(star);
    p.restore();
}

// An arrow along `path`, drawn up to `progress` (0..1) of its length.
void drawArrow(QPainter& p, const QPainterPath& path, double progress, const QColor& colour,
               double width)
{
    if (progress <= 0)
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath part;
    const int steps = 40;
    part.moveTo(path.pointAtPercent(0));
    for (int i = 1; i <= steps; ++i)
        part.lineTo(path.pointAtPercent(progress * i / steps));
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(part);
    const QPointF tip = path.pointAtPercent(progress);
    const double angle = -path.angleAtPercent(progress) * M_PI / 180.0;
    const double head = width * 2.6;
    const QPointF dir(std::cos(angle), std::sin(angle));
    const QPointF normal(-dir.y(), dir.x());
    QPolygonF arrowHead{tip + dir * head * 0.9, tip - dir * head * 0.5 + normal * head * 0.8,
                        tip - dir * head * 0.5 - normal * head * 0.8};
    p.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(colour);
    p.drawPolygon(arrowHead);
    p.restore();
}

// A sheet of paper with `levels.size()` sentences drawn as rows of words.
// level 0: plain text; 1..3: the level's coloured box. `marked` gets the
// yellow frame of the current sentence.
struct PageRows {
    std::vector<double> rowY;
    double left = 0, right = 0, rowH = 0;
};

PageRows drawPage(QPainter& p, const QRectF& sheet, const std::vector<int>& levels, int marked,
                  int seed)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 120, 130), 2));
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawRoundedRect(sheet.translated(4, 4), 6, 6);
    p.setBrush(QColor(255, 253, 245));
    p.drawRoundedRect(sheet, 6, 6);

    PageRows rows;
    const double padX = 14;
    const int n = int(levels.size());
    rows.rowH = std::min(28.0, (sheet.height() - 20) / std::max(1, n));
    rows.left = sheet.left() + padX;
    rows.right = sheet.right() - padX;
    QRandomGenerator rng{quint32(seed)};
    for (int i = 0; i < n; ++i) {
        const double y = sheet.top() + 10 + i * rows.rowH;
        rows.rowY.push_back(y);
        const QRectF box(rows.left - 5, y + 2, rows.right - rows.left + 10, rows.rowH - 5);
        const LevelColours lc = levelColours(levels[size_t(i)]);
        if (levels[size_t(i)] > 0) {
            p.setPen(QPen(QColor(60, 60, 60), 1.2));
            p.setBrush(lc.fill);
            p.drawRoundedRect(box, 5, 5);
        }
        // words as short bars
        const QColor word = levels[size_t(i)] > 0 ? lc.text : QColor(90, 90, 100);
        p.setPen(Qt::NoPen);
        p.setBrush(word);
        double x = rows.left + 2;
        const double end = rows.right - 2 - (i == n - 1 ? 40 : rng.bounded(0, 30));
        const double barH = std::max(4.0, rows.rowH * 0.28);
        while (x < end - 10) {
            const double w = std::min(end - x, 10.0 + rng.bounded(0, 26));
            p.drawRoundedRect(QRectF(x, y + rows.rowH / 2 - barH / 2 - 1, w, barH), 2, 2);
            x += w + 6;
        }
        if (i == marked) {
            const QRectF frame = box.adjusted(-3, -3, 3, 3);
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(Qt::black, 6));
            p.drawRoundedRect(frame, 6, 6);
            p.setPen(QPen(focusYellow, 3.5));
            p.drawRoundedRect(frame, 6, 6);
        }
    }
    p.restore();
    return rows;
}

void drawCheck(QPainter& p, QPointF c, double size, double progress)
{
    if (progress <= 0)
        return;
    QPainterPath path;
    path.moveTo(c + QPointF(-size * 0.5, 0));
    path.lineTo(c + QPointF(-size * 0.12, size * 0.4));
    path.lineTo(c + QPointF(size * 0.55, -size * 0.45));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 170, 70));
    p.drawEllipse(c, size * 0.85, size * 0.85);
    QPainterPath part;
    part.moveTo(path.pointAtPercent(0));
    for (int i = 1; i <= 30; ++i)
        part.lineTo(path.pointAtPercent(progress * i / 30));
    p.setPen(QPen(Qt::white, size * 0.22, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(part);
    p.restore();
}

void drawBadge(QPainter& p, QPointF c, const QString& text, const QColor& fill)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::white, 2.5));
    p.setBrush(fill);
    p.drawEllipse(c, 13, 13);
    p.setFont(makeFont(QStringLiteral("Liberation Sans"), 18, true));
    p.setPen(Qt::white);
    p.drawText(QRectF(c.x() - 13, c.y() - 13, 26, 26), Qt::AlignCenter, text);
    p.restore();
}

void drawLens(QPainter& p, QPointF c, double r)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 60, 30), 9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(r * 0.7, r * 0.7), c + QPointF(r * 1.6, r * 1.6));
    p.setPen(QPen(QColor(60, 60, 70), 5));
    p.setBrush(QColor(200, 235, 255, 110));
    p.drawEllipse(c, r, r);
    p.setPen(QPen(QColor(255, 255, 255, 200), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(c.x() - r * 0.7, c.y() - r * 0.7, r * 1.4, r * 1.4), 100 * 16, 60 * 16);
    p.restore();
}

// ---------------------------------------------------------------- level buttons

// Button glyphs: 200 x 80, fit the three answer buttons that share a
// 640-pixel-wide window (about 210 pixels each). Picture 1 is the button at
// rest, picture 2 the button with the focus: a thick yellow frame with black
// edges and arrow marks, like the frame of the current sentence.
constexpr int buttonW = 200;
constexpr int buttonH = 80;
const QColor buttonFace(240, 240, 240);

QImage levelButton(int level, bool focused)
{
    QImage img = canvas(buttonW, buttonH, buttonFace);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const LevelColours lc = levelColours(level);
    const QRectF box(11.5, 9.5, buttonW - 23, buttonH - 19);
    if (focused) {
        const QRectF outer(2.5, 1.5, buttonW - 5, buttonH - 3);
        p.setPen(QPen(Qt::black, 3));
        p.setBrush(focusYellow);
        p.drawRoundedRect(outer, 16, 16);
    }
    p.setPen(QPen(Qt::black, focused ? 4 : 2.5));
    p.setBrush(lc.fill);
    p.drawRoundedRect(box, 12, 12);

    QStringList words;
    if (level == 1)
        words = {QStringLiteral("non"), QStringLiteral("importante")};
    else if (level == 2)
        words = {QStringLiteral("importante")};
    else
        words = {QStringLiteral("molto"), QStringLiteral("importante")};
    const QFont f = makeFont(QStringLiteral("Liberation Sans"), 25, true);
    p.setFont(f);
    p.setPen(lc.text);
    const double lineH = 27;
    const double top = box.center().y() - lineH * words.size() / 2.0;
    for (int i = 0; i < words.size(); ++i)
        p.drawText(QRectF(box.left(), top + i * lineH, box.width(), lineH), Qt::AlignCenter,
                   words[i]);
    if (focused) {
        // arrow marks inside the frame, pointing at the box
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        const double cy = buttonH / 2.0;
        p.drawPolygon(QPolygonF{QPointF(3, cy - 8), QPointF(10, cy), QPointF(3, cy + 8)});
        p.drawPolygon(QPolygonF{QPointF(buttonW - 3, cy - 8), QPointF(buttonW - 10, cy),
                                QPointF(buttonW - 3, cy + 8)});
    }
    return img;
}

void makeButtons()
{
    const struct { int level; const char* name; } list[] = {
        {1, "nonBu"}, {2, "impBu"}, {3, "moltoBu"}};
    for (const auto& b : list) {
        save(levelButton(b.level, false), QStringLiteral("immagini/%1%2.png").arg(b.name).arg(1));
        save(levelButton(b.level, true), QStringLiteral("immagini/%1%2.png").arg(b.name).arg(2));
    }
}

// ---------------------------------------------------------------- main window buttons

// The results archive and the execution buttons of the main window show a
// 48 x 48 picture above their caption, on a transparent ground so that it sits
// on any button face: flat shapes with black outlines in the level colours.
constexpr int bigButtonPicture = 48;

QImage buttonPicture(void (*draw)(QPainter&))
{
    QImage img(bigButtonPicture, bigButtonPicture, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    return img;
}

// An archive box: the lid, the box with its catalogue label (lines in the
// level colours), the hand hold below it, the tabs of the stored folders
// showing under the lid.
void drawArchiveBox(QPainter& p)
{
    const QPen outline(Qt::black, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const QColor cardboard(240, 190, 80), cardboardSide(205, 150, 55);
    p.setPen(outline);
    // the box, with its right side in shade
    p.setBrush(cardboardSide);
    p.drawPolygon(QPolygonF{QPointF(38, 17), QPointF(44, 12), QPointF(44, 38), QPointF(38, 44)});
    p.setBrush(cardboard);
    p.drawRect(QRectF(5, 17, 33, 27));
    // the folders' tabs, in the level colours, under the lid
    const QColor tabs[] = {QColor(255, 0, 0), QColor(0, 255, 255), QColor(255, 255, 255)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(tabs[i]);
        p.drawRect(QRectF(9 + i * 9, 14, 7, 4));
    }
    // the lid, a little wider than the box
    p.setBrush(cardboardSide);
    p.drawPolygon(QPolygonF{QPointF(40, 8), QPointF(46, 3), QPointF(46, 9), QPointF(40, 15)});
    p.setBrush(cardboard);
    p.drawPolygon(QPolygonF{QPointF(3, 8), QPointF(9, 3), QPointF(46, 3), QPointF(40, 8)});
    p.drawRect(QRectF(3, 8, 37, 7));
    // the label of the catalogue
    p.setBrush(Qt::white);
    p.drawRect(QRectF(11, 21, 21, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 0, 0));
    p.drawRect(QRectF(14, 24, 15, 2.5));
    p.setBrush(QColor(0, 255, 255));
    p.drawRect(QRectF(14, 28, 11, 2.5));
    // the hand hold
    p.setPen(outline);
    p.setBrush(QColor(70, 40, 20));
    p.drawRoundedRect(QRectF(15, 37, 13, 3.5), 1.75, 1.75);
}

// A start arrow in a green disc.
void drawStartArrow(QPainter& p)
{
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(0, 170, 0));
    p.drawEllipse(QRectF(3, 3, 42, 42));
    p.setBrush(QColor(255, 255, 255));
    const QPointF arrow[] = {{19, 13}, {19, 35}, {36, 24}};
    p.drawPolygon(arrow, 3);
}

void makeBigButtonPictures()
{
    save(buttonPicture(drawArchiveBox), QStringLiteral("immagini/archivio.png"));
    save(buttonPicture(drawStartArrow), QStringLiteral("immagini/esecuzione.png"));
}

// ---------------------------------------------------------------- desktop icon

// The program's icon in a 256 x 256 square: the owl behind a page whose
// sentences are marked in the level colours.
constexpr int iconSquare = 256;

void drawAppIcon(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    Owl owl;
    owl.look = QPointF(0.6, 0.7);
    drawOwl(p, QPointF(100, 112), 1.15, owl);
    p.save();
    p.translate(176, 178);
    p.rotate(-8);
    drawPage(p, QRectF(-62, -68, 124, 136), {3, 1, 2, 1}, -1, 3);
    p.restore();
}

void makeAppIcon()
{
    for (int size : {48, 64, 128, 256}) {
        QImage img(size, size, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.scale(double(size) / iconSquare, double(size) / iconSquare);
        drawAppIcon(p);
        p.end();
        save(img, QStringLiteral("icona/%1.png").arg(size));
    }
    QSvgGenerator svg;
    const QString path = outDir + QStringLiteral("/icona/icona.svg");
    svg.setFileName(path);
    svg.setSize(QSize(iconSquare, iconSquare));
    svg.setViewBox(QRect(0, 0, iconSquare, iconSquare));
    svg.setTitle(QStringLiteral("Salienta"));
    svg.setDescription(QStringLiteral("Salienta: il gufo e un testo con le frasi evidenziate"));
    QPainter p;
    if (!p.begin(&svg)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    drawAppIcon(p);
    p.end();
}

// ---------------------------------------------------------------- cover

// The cover fills a 632 x 453 window and is drawn at (-2, -2); the title
// lettering is wiped in at (70, 47). Yellow credit lines are written over the
// lower half, so that part stays dark.
constexpr int coverW = 636;
constexpr int coverH = 457;
constexpr int titleX = 70;
constexpr int titleY = 47;
constexpr int titleW = 496;
constexpr int titleH = 136;

QImage drawCover()
{
    QImage img(coverW, coverH, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, coverH);
    sky.setColorAt(0, QColor(18, 30, 92));
    sky.setColorAt(0.55, QColor(26, 22, 78));
    sky.setColorAt(1, QColor(14, 12, 44));
    p.fillRect(img.rect(), sky);

    QRandomGenerator rng(1883);
    for (int i = 0; i < 90; ++i) {
        const double x = rng.bounded(coverW);
        const double y = rng.bounded(coverH);
        const double r = 0.6 + rng.bounded(1.4);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 230, 90 + rng.bounded(120)));
        p.drawEllipse(QPointF(x, y), r, r);
    }

    // a row of highlighted sentences under the title
    const double rowY = 196;
    const int levels[] = {1, 2, 3, 2, 1};
    const double widths[] = {92, 128, 116, 102, 70};
    double x = 58;
    for (int i = 0; i < 5; ++i) {
        const LevelColours lc = levelColours(levels[i]);
        const QRectF box(x, rowY, widths[i], 26);
        p.setPen(QPen(QColor(0, 0, 0, 160), 1.5));
        p.setBrush(lc.fill);
        p.drawRoundedRect(box, 7, 7);
        p.setPen(Qt::NoPen);
        p.setBrush(lc.text);
        double wx = box.left() + 9;
        QRandomGenerator wr(quint32(11 + i));
        while (wx < box.right() - 16) {
            const double w = std::min(box.right() - 9 - wx, 12.0 + wr.bounded(0, 20));
            p.drawRoundedRect(QRectF(wx, rowY + 10, w, 6), 2, 2);
            wx += w + 6;
        }
        x += widths[i] + 12;
    }
    // golden rule
    QLinearGradient gold(26, 0, 610, 0);
    gold.setColorAt(0, QColor(255, 200, 40, 0));
    gold.setColorAt(0.2, QColor(255, 200, 40));
    gold.setColorAt(0.8, QColor(255, 200, 40));
    gold.setColorAt(1, QColor(255, 200, 40, 0));
    p.fillRect(QRectF(26, 240, 584, 3), gold);

    // the mascot reading, bottom right, away from the credit lines
    QRectF book(470, 376, 140, 58);
    p.setPen(QPen(QColor(60, 30, 20), 2));
    p.setBrush(QColor(150, 40, 40));
    p.drawRoundedRect(book.adjusted(-6, -4, 6, 8), 6, 6);
    for (int side = 0; side < 2; ++side) {
        const QRectF page(book.left() + side * 70, book.top(), 70, 58);
        p.setBrush(QColor(255, 252, 240));
        p.setPen(QPen(QColor(120, 110, 100), 1.5));
        p.drawRect(page);
        for (int l = 0; l < 4; ++l) {
            const int lv = (l + side * 2) % 4;
            const QRectF line(page.left() + 7, page.top() + 8 + l * 12, 56, 8);
            if (lv >= 2) {
                p.setPen(Qt::NoPen);
                p.setBrush(levelColours(lv).fill);
                p.drawRect(line.adjusted(-2, -2, 2, 2));
            }
            p.setPen(Qt::NoPen);
            p.setBrush(lv >= 2 ? levelColours(lv).text : QColor(100, 100, 110));
            p.drawRect(line.adjusted(0, 2, -(l * 7 % 20), -2));
        }
    }
    Owl owl;
    owl.look = QPointF(-0.3, 0.9);
    drawOwl(p, QPointF(540, 340), 0.38, owl);
    p.end();
    return img;
}

// The lettering: drawn over the cover's own pixels, then every pixel the
// lettering left unchanged becomes the key colour (the picture's top-left
// pixel), so that the program's colour-keyed copy gives exactly this drawing,
// edges included.
QImage drawTitle(const QImage& cover)
{
    const QRgb key = qRgb(255, 0, 255);
    // the part of the window at (70, 47) is the cover's pixel (72, 49)
    const QImage base = cover.copy(titleX + 2, titleY + 2, titleW, titleH);
    QImage img = base.copy();
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    // highlighter stroke behind the word
    QPainterPath stroke;
    stroke.moveTo(18, 96);
    stroke.cubicTo(150, 88, 330, 104, 478, 92);
    p.setPen(QPen(QColor(0, 230, 255, 170), 26, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(stroke);

    const QFont f = makeFont(QStringLiteral("Liberation Serif"), 112, true, true);
    QPainterPath text;
    text.addText(0, 0, f, QStringLiteral("Salienta"));
    const QRectF br = text.boundingRect();
    const QPointF shift(titleW / 2.0 - br.center().x(), titleH / 2.0 - br.center().y() - 4);
    text.translate(shift);

    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 150));
    p.drawPath(text.translated(5, 5));
    QLinearGradient fill(0, shift.y() + br.top(), 0, shift.y() + br.bottom());
    fill.setColorAt(0, QColor(255, 246, 120));
    fill.setColorAt(0.5, QColor(255, 206, 40));
    fill.setColorAt(1, QColor(255, 140, 20));
    p.setPen(QPen(QColor(90, 30, 10), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(fill);
    p.drawPath(text);
    p.end();

    int keyed = 0;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const auto* orig = reinterpret_cast<const QRgb*>(base.constScanLine(y));
        for (int xx = 0; xx < img.width(); ++xx) {
            if (line[xx] == orig[xx]) {
                line[xx] = key;
                ++keyed;
            } else if ((line[xx] & 0xFFFFFF) == (key & 0xFFFFFF)) {
                line[xx] = qRgb(254, 0, 255);    // never the key by accident
            }
        }
    }
    if (img.pixel(0, 0) != key) {
        std::fprintf(stderr, "title: top-left pixel is not the key colour\n");
        std::exit(1);
    }
    std::printf("title: %d of %d pixels transparent\n", keyed, titleW * titleH);
    return img;
}

// ---------------------------------------------------------------- animations

struct Animation {
    QString name;
    std::vector<QImage> frames;
    std::vector<int> delays;    // hundredths of a second
    void add(const QImage& img, int delay)
    {
        frames.push_back(img);
        delays.push_back(delay);
    }
    void write() const
    {
        const QString dir = QStringLiteral("frames/") + name;
        QDir(outDir + QLatin1Char('/') + dir).removeRecursively();
        QString list;
        for (size_t i = 0; i < frames.size(); ++i) {
            save(frames[i], QStringLiteral("%1/f%2.png").arg(dir).arg(int(i), 2, 10, QLatin1Char('0')));
            list += QString::number(delays[i]) + QLatin1Char('\n');
        }
        QFile f(outDir + QLatin1Char('/') + dir + QStringLiteral("/delays.txt"));
        if (!f.open(QIODevice::WriteOnly) || f.write(list.toLatin1()) < 0) {
            std::fprintf(stderr, "cannot write delays of %s\n", qPrintable(name));
            std::exit(1);
        }
    }
};

// Feedback pictures: 224 x 276, shown 288 pixels tall in a window 250
// pixels wide, beside or above the message.
constexpr int fbW = 224;
constexpr int fbH = 276;

QImage feedbackCanvas(const QColor& top, const QColor& bottom)
{
    QImage img(fbW, fbH, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, fbH);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(img.rect(), g);
    p.setPen(QPen(bottom.darker(130), 3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(1.5, 1.5, fbW - 3, fbH - 3));
    return img;
}

// "spieEs": the three answer buttons, pressed one after the other; the
// sentence below takes the colour of the pressed button.
Animation animSpieEs()
{
    Animation a{QStringLiteral("spieEs"), {}, {}};
    for (int step = 0; step < 7; ++step) {
        const int chip = step / 2 % 3;
        const bool pressed = step % 2 == 1;
        QImage img = feedbackCanvas(QColor(225, 240, 255), QColor(190, 215, 245));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        Owl owl;
        owl.look = QPointF(step == 6 ? 0 : (chip - 1) * 0.9, 0.8);
        owl.blink = step == 6;
        owl.wing = pressed ? 25 : 8;
        drawOwl(p, QPointF(112, 90), 0.68, owl);
        const int level = step == 6 ? 0 : (chip + 1);
        // the sentence
        std::vector<int> lv{pressed ? level : (step == 0 ? 0 : (step - 1) / 2 % 3 + 1)};
        drawPage(p, QRectF(18, 168, 188, 36), lv, 0, 7);
        // the three buttons
        for (int i = 0; i < 3; ++i) {
            const LevelColours lc = levelColours(i + 1);
            QRectF r(14 + i * 68, 218, 60, 44);
            if (i == chip && step < 6) {
                p.setPen(QPen(Qt::black, 2.5));
                p.setBrush(focusYellow);
                p.drawRoundedRect(r.adjusted(-4, -4, 4, 4), 10, 10);
            }
            if (pressed && i == chip)
                r.translate(1.5, 2);
            p.setPen(QPen(Qt::black, 2));
            p.setBrush(lc.fill);
            p.drawRoundedRect(r, 8, 8);
            p.setPen(Qt::NoPen);
            p.setBrush(lc.text);
            p.drawRoundedRect(QRectF(r.left() + 12, r.center().y() - 4, r.width() - 24, 8), 3, 3);
        }
        p.end();
        a.add(img, step == 6 ? 90 : (pressed ? 90 : 60));
    }
    return a;
}

// "selErr": the mark goes back a few sentences along a curved arrow.
Animation animSelErr()
{
    Animation a{QStringLiteral("selErr"), {}, {}};
    const int frames = 7;
    for (int f = 0; f < frames; ++f) {
        QImage img = feedbackCanvas(QColor(255, 244, 220), QColor(250, 222, 180));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        Owl owl;
        owl.mood = Mood::Thinking;
        owl.look = QPointF(0.6, f < 5 ? 0.2 : -0.6);
        owl.blink = f == 2;
        drawOwl(p, QPointF(62, 188), 0.52, owl);
        const int marked = f < 2 ? 5 : (f < 5 ? 5 : 1);
        std::vector<int> lv{2, 1, 3, 1, 1, 3};
        const PageRows rows = drawPage(p, QRectF(104, 20, 108, 184), lv, marked, 21);
        QPainterPath back;
        back.moveTo(rows.left - 2, rows.rowY[5] + rows.rowH / 2);
        back.cubicTo(rows.left - 70, rows.rowY[4], rows.left - 70, rows.rowY[1] + 10,
                     rows.left - 8, rows.rowY[1] + rows.rowH / 2);
        const double progress = f == 0 ? 0 : std::min(1.0, f / 4.0);
        drawArrow(p, back, f >= 5 ? 1.0 : progress, QColor(230, 110, 0), 6);
        p.end();
        a.add(img, f == frames - 1 ? 160 : 45);
    }
    return a;
}

// Page split in two parts, for "priErr" and "secErr".
PageRows drawTwoPartPage(QPainter& p, const QRectF& sheet, int part, int marked)
{
    std::vector<int> lv{1, 2, 1, 3, 1, 2, 1, 1};
    const PageRows rows = drawPage(p, sheet, lv, marked, 33);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const double mid = (rows.rowY[3] + rows.rowH + rows.rowY[4]) / 2;
    QRectF half = part == 1 ? QRectF(sheet.left() + 3, sheet.top() + 4, sheet.width() - 6,
                                     mid - sheet.top() - 4)
                            : QRectF(sheet.left() + 3, mid, sheet.width() - 6,
                                     sheet.bottom() - mid - 4);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 150, 0, 45));
    p.drawRect(half);
    p.setPen(QPen(QColor(200, 90, 0), 2, Qt::DashLine));
    p.drawLine(QPointF(sheet.left() + 4, mid), QPointF(sheet.right() - 4, mid));
    drawBadge(p, QPointF(sheet.right() - 2, part == 1 ? sheet.top() + 2 : mid + 14),
              QString::number(part), QColor(230, 110, 0));
    p.restore();
    return rows;
}

// "priErr": a circle arrow from the middle back to the first sentence.
Animation animPriErr()
{
    Animation a{QStringLiteral("priErr"), {}, {}};
    const int frames = 7;
    for (int f = 0; f < frames; ++f) {
        QImage img = feedbackCanvas(QColor(255, 244, 220), QColor(250, 222, 180));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        Owl owl;
        owl.mood = Mood::Gentle;
        owl.look = QPointF(0.7, f < 5 ? 0.3 : -0.8);
        owl.wing = f >= 5 ? 30 : 5;
        owl.blink = f == 1;
        drawOwl(p, QPointF(60, 192), 0.5, owl);
        const int marked = f < 5 ? 3 : 0;
        const PageRows rows = drawTwoPartPage(p, QRectF(100, 22, 110, 232), 1, marked);
        QPainterPath back;
        back.moveTo(rows.left - 2, rows.rowY[3] + rows.rowH / 2);
        back.cubicTo(rows.left - 80, rows.rowY[3] + 20, rows.left - 80, rows.rowY[0] - 10,
                     rows.left - 8, rows.rowY[0] + rows.rowH / 2);
        drawArrow(p, back, f == 0 ? 0 : std::min(1.0, f / 4.0), QColor(230, 110, 0), 6);
        p.end();
        a.add(img, f == frames - 1 ? 160 : 45);
    }
    return a;
}

// "priOk": the owl cheers, a check mark appears, sparkles.
Animation animPriOk()
{
    Animation a{QStringLiteral("priOk"), {}, {}};
    const double wings[] = {10, 55, 95, 55, 95, 55, 10, 10};
    for (int f = 0; f < 8; ++f) {
        QImage img = feedbackCanvas(QColor(235, 255, 225), QColor(200, 240, 190));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        Owl owl;
        owl.mood = Mood::Happy;
        owl.wing = wings[f];
        owl.blink = f % 2 == 1;
        const double hop = (f % 2 == 1) ? -8 : 0;
        drawOwl(p, QPointF(112, 168 + hop), 0.75, owl);
        drawCheck(p, QPointF(176, 50), 32, std::min(1.0, f / 3.0));
        QRandomGenerator rng(quint32(40 + f));
        for (int s = 0; s < 4; ++s) {
            const QPointF c(20 + rng.bounded(60), 24 + rng.bounded(80));
            drawStar(p, c, 5 + rng.bounded(6), true, rng.bounded(40));
        }
        p.end();
        a.add(img, f == 7 ? 150 : 35);
    }
    return a;
}

// "secErr": a lens moves over the second part of the page.
Animation animSecErr()
{
    Animation a{QStringLiteral("secErr"), {}, {}};
    const int frames = 8;
    for (int f = 0; f < frames; ++f) {
        QImage img = feedbackCanvas(QColor(255, 244, 220), QColor(250, 222, 180));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        Owl owl;
        owl.mood = Mood::Gentle;
        owl.look = QPointF(0.8, 0.6);
        owl.blink = f == 3;
        drawOwl(p, QPointF(58, 86), 0.5, owl);
        const PageRows rows = drawTwoPartPage(p, QRectF(100, 22, 110, 232), 2, 4);
        const int row = 4 + (f / 2) % 4;
        const double t = (f % 2) ? 0.7 : 0.3;
        drawLens(p, QPointF(rows.left + t * (rows.right - rows.left),
                            rows.rowY[size_t(row)] + rows.rowH / 2), 17);
        p.end();
        a.add(img, f == frames - 1 ? 120 : 55);
    }
    return a;
}

// "giuBuo": cap, three gold stars, confetti.
Animation animGiuBuo()
{
    Animation a{QStringLiteral("giuBuo"), {}, {}};
    const int frames = 8;
    QRandomGenerator rng(1886);
    struct Bit { double x, y, speed; QColor colour; };
    std::vector<Bit> bits;
    const QColor colours[] = {QColor(0, 220, 255), QColor(255, 40, 40), QColor(255, 210, 0),
                              QColor(80, 200, 80), QColor(180, 100, 255)};
    for (int i = 0; i < 26; ++i)
        bits.push_back({double(rng.bounded(fbW)), double(rng.bounded(fbH)),
                        14.0 + rng.bounded(10), colours[i % 5]});
    for (int f = 0; f < frames; ++f) {
        QImage img = feedbackCanvas(QColor(255, 250, 215), QColor(255, 228, 150));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        for (const Bit& b : bits) {
            const double y = std::fmod(b.y + f * b.speed, double(fbH));
            p.save();
            p.translate(b.x, y);
            p.rotate(f * 40 + b.x);
            p.setPen(Qt::NoPen);
            p.setBrush(b.colour);
            p.drawRect(QRectF(-4, -2, 8, 4));
            p.restore();
        }
        for (int s = 0; s < 3; ++s) {
            const bool shown = f > s;
            if (!shown)
                continue;
            const double r = (f == s + 1) ? 22 : 18;
            drawStar(p, QPointF(52 + s * 60, s == 1 ? 34 : 46), r, true, (f % 2) * 8);
        }
        Owl owl;
        owl.mood = Mood::Happy;
        owl.cap = true;
        owl.wing = (f % 2) ? 100 : 70;
        owl.blink = true;
        drawOwl(p, QPointF(112, 176 + ((f % 2) ? -6 : 0)), 0.72, owl);
        p.end();
        a.add(img, f == frames - 1 ? 150 : 40);
    }
    return a;
}

// "giuDis": two gold stars, the third waiting to be won; an arrow up.
Animation animGiuDis()
{
    Animation a{QStringLiteral("giuDis"), {}, {}};
    const int frames = 6;
    for (int f = 0; f < frames; ++f) {
        QImage img = feedbackCanvas(QColor(240, 245, 255), QColor(210, 222, 250));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        drawStar(p, QPointF(50, 46), 20, true);
        drawStar(p, QPointF(112, 36), 20, true);
        drawStar(p, QPointF(174, 46), 18 + (f % 3) * 2.5, false);
        QPainterPath up;
        up.moveTo(200, 200);
        up.lineTo(200, 110 - (f % 3) * 6);
        drawArrow(p, up, 1.0, QColor(40, 150, 220), 8);
        Owl owl;
        owl.mood = Mood::Calm;
        owl.wing = (f == 2 || f == 3) ? 45 : 15;
        owl.look = QPointF(0.6, -0.7);
        owl.blink = f == 4;
        drawOwl(p, QPointF(100, 172), 0.72, owl);
        p.end();
        a.add(img, f == frames - 1 ? 110 : 45);
    }
    return a;
}

// "giuNon": the owl reads carefully, one word at a time; a star to start from.
Animation animGiuNon()
{
    Animation a{QStringLiteral("giuNon"), {}, {}};
    const int frames = 7;
    const double looks[] = {-0.9, -0.3, 0.3, 0.9, 0.9, 0.0, -0.9};
    for (int f = 0; f < frames; ++f) {
        QImage img = feedbackCanvas(QColor(245, 238, 255), QColor(222, 210, 248));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        drawStar(p, QPointF(112, 30), 18, true, f * 6);
        Owl owl;
        owl.mood = Mood::Gentle;
        owl.look = QPointF(looks[f], 0.9);
        owl.blink = f == 5;
        drawOwl(p, QPointF(112, 122), 0.62, owl);
        std::vector<int> lv{1, 1, 1};
        const PageRows rows = drawPage(p, QRectF(24, 196, 176, 70), lv, -1, 51);
        drawLens(p, QPointF(rows.left + (looks[f] + 1) / 2 * (rows.right - rows.left - 20) + 10,
                            rows.rowY[size_t(f % 3 == 2 ? 1 : 0)] + rows.rowH / 2 + 6),
                 14);
        p.end();
        a.add(img, f == frames - 1 ? 110 : 50);
    }
    return a;
}

// The main window's picture: a page whose sentences are marked one after
// the other with the three levels, the owl watching; 336 x 336 in a
// 340 x 340 area.
Animation animMain()
{
    Animation a{QStringLiteral("salAnim"), {}, {}};
    const std::vector<int> finalLevels{3, 1, 2, 1, 2, 1, 3};
    const int n = int(finalLevels.size());
    const int frames = n + 4;
    for (int f = 0; f < frames; ++f) {
        // flat background of the window's own grey, so the picture has no
        // visible edge in the main window
        QImage img = canvas(336, 336, QColor(240, 240, 240));
        QPainter p(&img);
        p.setRenderHint(QPainter::Antialiasing);
        const int done = std::min(f, n);
        std::vector<int> lv(size_t(n), 0);
        for (int i = 0; i < done; ++i)
            lv[size_t(i)] = finalLevels[size_t(i)];
        const int marked = f < n ? f : -1;
        const PageRows rows = drawPage(p, QRectF(34, 26, 214, 236), lv, marked, 5);
        // highlighter pen at the sentence being marked
        if (f < n) {
            const double y = rows.rowY[size_t(f)] + rows.rowH / 2;
            const double x = rows.right - 10;
            p.save();
            p.translate(x, y);
            p.rotate(-35);
            const QColor tip = f == 0 ? levelColours(finalLevels[0]).fill
                                      : levelColours(finalLevels[size_t(f)]).fill;
            p.setPen(QPen(QColor(40, 40, 40), 2));
            p.setBrush(QColor(70, 70, 90));
            p.drawRoundedRect(QRectF(14, -9, 70, 18), 5, 5);
            p.setBrush(tip);
            p.drawPolygon(QPolygonF{QPointF(14, -9), QPointF(0, -4), QPointF(0, 4),
                                    QPointF(14, 9)});
            p.restore();
        }
        Owl owl;
        owl.mood = f >= n ? Mood::Happy : Mood::Calm;
        owl.look = f < n ? QPointF(-0.8, (double(f) / n) * 1.6 - 0.8) : QPointF(0, 0);
        owl.blink = f >= n && f % 2 == 1;
        owl.wing = f >= n ? ((f % 2) ? 80 : 40) : 10;
        drawOwl(p, QPointF(268, 254), 0.5, owl);
        p.end();
        a.add(img, f >= n ? (f == frames - 1 ? 180 : 50) : 70);
    }
    return a;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: drawassets <output folder>\n");
        return 2;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);

    makeButtons();
    makeBigButtonPictures();
    makeAppIcon();
    const QImage cover = drawCover();
    save(cover, QStringLiteral("immagini/cover.png"));
    save(drawTitle(cover), QStringLiteral("immagini/scritta.png"));
    animMain().write();
    animSpieEs().write();
    animSelErr().write();
    animPriErr().write();
    animPriOk().write();
    animSecErr().write();
    animGiuBuo().write();
    animGiuDis().write();
    animGiuNon().write();
    std::printf("pictures written to %s\n", qPrintable(outDir));
    return 0;
}
