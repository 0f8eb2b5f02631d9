#include "execution/Ucompito.h"

#include "model/Funzioni.h"
#include "speech/ReadAlong.h"
#include "speech/SpeechOutput.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTextCursor>
#include <QVBoxLayout>

TFormCompito::TFormCompito(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormCompito"));
    setWindowTitle(QStringLiteral("Compito"));
    setModal(true);
    resize(600, 300);

    suggPanel = new QWidget(this);
    suggPanel->setObjectName(QStringLiteral("suggPanel"));
    auto inner = new QVBoxLayout(suggPanel);
    inner->setContentsMargins(10, 10, 10, 10);
    MemoCompito = new QPlainTextEdit(suggPanel);
    MemoCompito->setObjectName(QStringLiteral("MemoCompito"));
    MemoCompito->setReadOnly(true);
    MemoCompito->setFrameShape(QFrame::NoFrame);
    QFont memoFont(QStringLiteral("Arial"));
    memoFont.setPixelSize(16);
    memoFont.setBold(true);
    MemoCompito->setFont(memoFont);
    QPalette colours = MemoCompito->palette();
    colours.setColor(QPalette::Base, colours.color(QPalette::Button));
    colours.setColor(QPalette::Text, QColor(0, 0, 128));
    MemoCompito->setPalette(colours);
    inner->addWidget(MemoCompito);

    PanelBottom = new QWidget(this);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    OkButton = new QPushButton(QStringLiteral("Ok"), PanelBottom);
    OkButton->setObjectName(QStringLiteral("OkButton"));
    OkButton->setDefault(true);
    OkButton->resize(88, 30);
    PlayButton = new QPushButton(PanelBottom);
    PlayButton->setObjectName(QStringLiteral("PlayButton"));
    PlayButton->setIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    PlayButton->setToolTip(QStringLiteral("Ascolta il compito"));
    PlayButton->setGeometry(10, 9, 36, 32);
    PlayButton->setAutoDefault(false);
    PlayButton->hide();

    readAlong = new TReadAlong(this);
    connect(readAlong, &TReadAlong::wordHeard, this, &TFormCompito::wordHeard);
    connect(readAlong, &TReadAlong::finished, this, &TFormCompito::clearWordMark);

    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(PlayButton, &QPushButton::clicked, this, &TFormCompito::PlayButtonClick);
    OkButton->setFocus();
}

void TFormCompito::setTask(const QString& task, bool speech)
{
    MemoCompito->setPlainText(task);
    PlayButton->setVisible(speech);
}

void TFormCompito::PlayButtonClick()
{
    readAlong->read({windowTitle(), MemoCompito->toPlainText()});
}

void TFormCompito::wordHeard(int item, int start, int length)
{
    // The caption is read first; the words of the task are marked.
    if (item != 1)
        return;
    QTextEdit::ExtraSelection word;
    word.cursor = QTextCursor(MemoCompito->document());
    word.cursor.setPosition(start);
    word.cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    word.format.setBackground(QColor(255, 225, 150));
    word.format.setUnderlineStyle(QTextCharFormat::SingleUnderline);
    word.format.setUnderlineColor(QColor(200, 0, 120));
    MemoCompito->setExtraSelections({word});
    QTextCursor at(MemoCompito->document());
    at.setPosition(start);
    MemoCompito->setTextCursor(at);
    MemoCompito->ensureCursorVisible();
}

void TFormCompito::clearWordMark()
{
    MemoCompito->setExtraSelections({});
}

void TFormCompito::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    const int bottom = 50;
    suggPanel->setGeometry(0, 0, width(), qMax(0, height() - bottom));
    PanelBottom->setGeometry(0, height() - bottom, width(), bottom);
    OkButton->move((PanelBottom->width() - OkButton->width()) / 2,
                   (PanelBottom->height() - OkButton->height()) / 2);
}
