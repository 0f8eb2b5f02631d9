#include "execution/Udomanda.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

Tdomanda::Tdomanda(QWidget* owner, const QString& caption, const QString& text,
                   AccessDevice accessDevice, TBottoneSeriale* serial)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint),
      device(accessDevice)
{
    setObjectName(QStringLiteral("Tdomanda"));
    setWindowTitle(caption);
    setModal(true);
    setFixedSize(560, 300);

    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 16);
    Label1 = new QLabel(text, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignCenter);
    QFont textFont(QStringLiteral("Times New Roman"));
    textFont.setPixelSize(22);
    Label1->setFont(textFont);
    layout->addWidget(Label1, 1);

    panelPulsanti = new QWidget(this);
    panelPulsanti->setObjectName(QStringLiteral("panelPulsanti"));
    panelPulsanti->setFixedHeight(80);
    auto buttons = new QHBoxLayout(panelPulsanti);
    buttons->setContentsMargins(12, 8, 12, 8);
    buttons->setSpacing(40);
    const auto makeButton = [this](const char* name, const QString& label, int tag, int code) {
        auto button = new QPushButton(label, panelPulsanti);
        button->setObjectName(QLatin1String(name));
        button->setProperty("tag", tag);
        button->setMinimumSize(140, 56);
        QFont bold = button->font();
        bold.setBold(true);
        bold.setPixelSize(20);
        button->setFont(bold);
        connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
        return button;
    };
    yesBut = makeButton("yesBut", QString::fromUtf8("&Sì"), 0, 1);
    noBut = makeButton("noBut", QStringLiteral("&No"), 1, 2);
    buttons->addStretch(1);
    buttons->addWidget(yesBut);
    buttons->addWidget(noBut);
    buttons->addStretch(1);
    layout->addWidget(panelPulsanti);

    scan = std::make_unique<TScansione>(panelPulsanti, 1500, device);
    scan->startScanning();
    if ((device == serialTwoSwitch || device == serialOneSwitch) && serial) {
        serialSwitches = serial;
        keptHandler = serialSwitches->pressHandler();
        serialSwitches->setPressHandler([this](TBottoneSeriale* sender) { serialPress(sender); });
        holdsSerial = true;
    }
}

Tdomanda::~Tdomanda()
{
    if (holdsSerial)
        serialSwitches->setPressHandler(keptHandler);
    if (scan)
        scan->stopScanning();
    scan.reset();
}

void Tdomanda::serialPress(TBottoneSeriale* sender)
{
    if (!scan || !sender)
        return;
    if (!isActiveWindow() && QApplication::activeModalWidget() != this)
        return;
    if (sender->dsrNow())
        scan->performAction(device == serialOneSwitch ? scanSelect : scanNext);
    else if (sender->ctsNow())
        scan->performAction(scanSelect);
}

void Tdomanda::keyPressEvent(QKeyEvent* event)
{
    // The pupil answers with a button: Escape does not take the question away.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tdomanda::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

DialogButton askPupil(QWidget* owner, const QString& text, bool scanningAccess,
                      AccessDevice device, TBottoneSeriale* serial)
{
    if (!scanningAccess) {
        return askQuestion(QStringLiteral("Attenzione!"), text, YesButton | NoAnswerButton,
                           DialogIcon::Warning)
                       == YesButton
                   ? YesButton
                   : NoAnswerButton;
    }
    Tdomanda question(owner, QStringLiteral("Attenzione!"), text, device, serial);
    question.exec();
    return question.answer();
}
