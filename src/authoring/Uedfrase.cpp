#include "authoring/Uedfrase.h"

#include "authoring/Uedit.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QGuiApplication>
#include <QScreen>

namespace {

const char* const levelWords[] = {"", "non importante", "importante", "molto importante"};

} // namespace

QPixmap levelPicture(ImportanceLevel level, const QFont& font)
{
    QPixmap picture(132, 25);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const ImportanceColour& colours = importanceColour(level);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(colours.fill);
    painter.drawRoundedRect(QRectF(0.5, 0.5, 131, 24), 8, 8);
    QFont words = font;
    words.setBold(true);
    words.setPixelSize(13);
    painter.setFont(words);
    painter.setPen(colours.text);
    painter.drawText(QRect(0, 0, 132, 25), Qt::AlignCenter, QLatin1String(levelWords[level]));
    return picture;
}

TeditFrase::TeditFrase(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TeditFrase"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    setFixedSize(619, 179);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    Label1 = new QLabel(QStringLiteral("nuova frase"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(12, 6, 300, 20);

    memoFrase = new TmemoControllato(this);
    memoFrase->setObjectName(QStringLiteral("memoFrase"));
    memoFrase->setGeometry(12, 28, 413, 109);
    memoFrase->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoFrase->setTabChangesFocus(true);
    QFont plain = memoFrase->font();
    plain.setBold(false);
    memoFrase->setFont(plain);

    radioImportanze = new QGroupBox(QStringLiteral(" importanza "), this);
    radioImportanze->setObjectName(QStringLiteral("radioImportanze"));
    radioImportanze->setGeometry(436, 6, 175, 131);
    choices = new QButtonGroup(this);
    Panel1 = new QWidget(radioImportanze);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(32, 22, 137, 3 * 35);
    QLabel** images[] = {&Image1, &Image2, &Image3};
    for (int i = 0; i < 3; ++i) {
        auto radio = new QRadioButton(radioImportanze);
        radio->setObjectName(QStringLiteral("radio%1").arg(i + 1));
        radio->setGeometry(10, 22 + i * 35 + 4, 20, 20);
        radio->setAccessibleName(QLatin1String(levelWords[i + 1]));
        radio->installEventFilter(this);
        choices->addButton(radio, i);
        auto image = new QLabel(Panel1);
        image->setObjectName(QStringLiteral("Image%1").arg(i + 1));
        image->setGeometry(0, i * 35, 137, 29);
        image->setAlignment(Qt::AlignCenter);
        image->setPixmap(levelPicture(static_cast<ImportanceLevel>(i + 1), font()));
        image->setLineWidth(2);
        image->installEventFilter(this);
        *images[i] = image;
    }
    radioAt(0)->setChecked(true);

    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(419, 143, 92, 30);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(519, 143, 92, 30);
    CancelBtn->setAutoDefault(false);
    connect(OKBtn, &QPushButton::clicked, this, &TeditFrase::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(memoFrase, radioAt(0));
    setTabOrder(radioAt(0), radioAt(1));
    setTabOrder(radioAt(1), radioAt(2));
    setTabOrder(radioAt(2), OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    memoFrase->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QRadioButton* TeditFrase::radioAt(int index) const
{
    return static_cast<QRadioButton*>(choices->button(index));
}

void TeditFrase::selectChoice(int index)
{
    radioAt(index)->setChecked(true);
}

void TeditFrase::setLevel(ImportanceLevel level)
{
    if (level >= nonImportante && level <= moltoImportante)
        radioAt(level - 1)->setChecked(true);
}

void TeditFrase::setText(const QStringList& lines)
{
    memoFrase->setPlainText(lines.join(QLatin1Char('\n')));
    memoFrase->selectAll();
    // The selection runs from the end to the start, so the caret is at the start.
    QTextCursor cursor = memoFrase->textCursor();
    cursor.setPosition(cursor.selectionEnd());
    cursor.setPosition(0, QTextCursor::KeepAnchor);
    memoFrase->setTextCursor(cursor);
}

int TeditFrase::choiceIndex() const
{
    return choices->checkedId();
}

ImportanceLevel TeditFrase::chosenLevel() const
{
    return static_cast<ImportanceLevel>(choiceIndex() + 1);
}

QStringList TeditFrase::textLines() const
{
    const QString text = memoFrase->plainText();
    if (text.isEmpty())
        return {};
    return text.split(QLatin1Char('\n'));
}

void TeditFrase::OKBtnClick()
{
    const QStringList lines = textLines();
    if (isBlankText(lines)) {
        showMessage(QString::fromUtf8("La casella di testo è vuota"));
    } else if (hasReservedChars(lines)) {
        showMessage(reservedCharsMessage());
    } else if (!fitsCp1252(lines)) {
        showMessage(QString::fromUtf8("Il testo contiene caratteri che non si possono salvare "
                                      "in un esercizio. Eliminali e ripeti l'operazione"));
    } else {
        accept();
        return;
    }
    memoFrase->setFocus();
}

bool TeditFrase::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Image1)
            Image1Click();
        else if (watched == Image2)
            Image2Click();
        else if (watched == Image3)
            Image3Click();
    }
    // The focus of a choice is shown as a frame round its picture.
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut) {
        const int id = choices->id(qobject_cast<QAbstractButton*>(watched));
        if (id >= 0) {
            QLabel* image = id == 0 ? Image1 : id == 1 ? Image2 : Image3;
            image->setFrameStyle(event->type() == QEvent::FocusIn ? QFrame::Box | QFrame::Plain
                                                                  : QFrame::NoFrame);
        }
    }
    return QDialog::eventFilter(watched, event);
}
