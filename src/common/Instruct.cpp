#include "common/Instruct.h"

#include "model/Funzioni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

Tistruzioni::Tistruzioni(const QString& folder, QWidget* parent)
    : QDialog(parent), programFolder(folder)
{
    setObjectName(QStringLiteral("Tistruzioni"));
    setWindowTitle(QStringLiteral(" istruzioni"));
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(442, 453);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(rect());

    memo1 = new QPlainTextEdit(Panel1);
    memo1->setObjectName(QStringLiteral("memo1"));
    memo1->setGeometry(4, 4, 442 - 8, 453 - 8 - 37);
    memo1->setReadOnly(true);
    memo1->setFrameShape(QFrame::NoFrame);
    memo1->setFocusPolicy(Qt::NoFocus);
    memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo1->setBackgroundRole(QPalette::Window);
    QPalette palette = memo1->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    palette.setColor(QPalette::Text, QColor(0, 0, 255));
    memo1->setPalette(palette);
    QFont font = memo1->font();
    font.setBold(true);
    font.setPixelSize(13);
    memo1->setFont(font);

    PanelBottom = new QFrame(Panel1);
    PanelBottom->setObjectName(QStringLiteral("PanelBottom"));
    PanelBottom->setGeometry(4, 453 - 4 - 37, 442 - 8, 37);

    CancelBtn = new QPushButton(QStringLiteral("&Esci"), PanelBottom);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setGeometry(337, 8, 80, 28);
    CancelBtn->setDefault(true);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    CancelBtn->installEventFilter(this);
}

void Tistruzioni::showText(const QString& fileName)
{
    const QString path = QDir(programFolder).filePath(fileName);
    QFile file(path);
    if (QFileInfo(path).isFile() && file.open(QIODevice::ReadOnly)) {
        // Shown unchanged: long paragraphs are wrapped by the window, not cut.
        QString text = decodeCp1252(file.readAll());
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        memo1->setPlainText(text);
    } else {
        memo1->setPlainText(QStringLiteral("Testo non disponibile"));
    }
    memo1->moveCursor(QTextCursor::Start);
}

bool Tistruzioni::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && scrollByKey(static_cast<QKeyEvent*>(event)->key()))
        return true;
    return QDialog::eventFilter(watched, event);
}

void Tistruzioni::keyPressEvent(QKeyEvent* event)
{
    if (scrollByKey(event->key()))
        event->accept();
    else
        QDialog::keyPressEvent(event);
}

bool Tistruzioni::scrollByKey(int key)
{
    QScrollBar* bar = memo1->verticalScrollBar();
    switch (key) {
    case Qt::Key_Up:
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Home:
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case Qt::Key_End:
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    default:
        return false;
    }
    return true;
}

void showInstructions(QWidget* parent, const QString& programFolder, const QString& caption,
                      const QString& fileName)
{
    Tistruzioni window(programFolder, parent);
    window.setWindowTitle(caption);
    window.showText(fileName);
    window.exec();
}
