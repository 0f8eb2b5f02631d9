#include "access/Uregjoy.h"

#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int clientWidth = 416;
constexpr int clientHeight = 169;
constexpr int bottomHeight = 50;
constexpr int panelBorder = 15;

} // namespace

TregolaJoyForm::TregolaJoyForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("regolaJoyForm"));
    setWindowTitle(QStringLiteral(" Regolazione del joystick"));
    setFixedSize(clientWidth, clientHeight);
    QFont formFont = font();
    formFont.setBold(true);
    setFont(formFont);
    QPalette formPalette = palette();
    formPalette.setColor(QPalette::WindowText, Qt::black);
    formPalette.setColor(QPalette::ButtonText, Qt::black);
    setPalette(formPalette);

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 0, clientWidth, clientHeight - bottomHeight);
    auto* panelLayout = new QVBoxLayout(Panel2);
    panelLayout->setContentsMargins(panelBorder, panelBorder, panelBorder, panelBorder);

    const QStringList lines = {QStringLiteral("Per regolare la posizione di "),
                               QStringLiteral("riposo del joystick, si rilasci la "),
                               QStringLiteral("leva e si prema il tasto OK.")};
    Memo1 = new QLabel(lines.join(QLatin1Char('\n')), Panel2);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setAlignment(Qt::AlignCenter);
    Memo1->setAutoFillBackground(true);
    QPalette memoPalette = Memo1->palette();
    memoPalette.setColor(QPalette::Window, memoPalette.color(QPalette::Button));
    memoPalette.setColor(QPalette::WindowText, QColor(255, 255, 0));
    Memo1->setPalette(memoPalette);
    // Arial 24 pixels, bold; smaller only if a line would not fit the panel.
    QFont memoFont(QStringLiteral("Arial"));
    memoFont.setBold(true);
    const int room = clientWidth - 2 * panelBorder;
    const int roomHeight = clientHeight - bottomHeight - 2 * panelBorder;
    for (int pixels = 24; pixels >= 10; --pixels) {
        memoFont.setPixelSize(pixels);
        const QFontMetrics metrics(memoFont);
        int widest = 0;
        for (const QString& line : lines)
            widest = std::max(widest, metrics.horizontalAdvance(line.trimmed()));
        if (widest <= room && metrics.lineSpacing() * int(lines.size()) <= roomHeight)
            break;
    }
    Memo1->setFont(memoFont);
    panelLayout->addWidget(Memo1);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, clientHeight - bottomHeight, clientWidth, bottomHeight);
    OKBtn = new QPushButton(QStringLiteral("&OK"), Panel1);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry((clientWidth - 76) / 2, (bottomHeight - 27) / 2, 76, 27);
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(clientWidth / 2, clientHeight / 2));
    }
}
