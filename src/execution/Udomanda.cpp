#include "execution/Udomanda.h"

#include "common/TextFont.h"
#include "speech/SpeechOutput.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

constexpr int buttonWidth = 110;
constexpr int buttonHeight = 44;

} // namespace

TdomandaForm::TdomandaForm(QWidget* owner, const QString& question, AccessDevice device,
                           const ScanTiming& timing, TBottoneSeriale* serial)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint), accessDevice(device)
{
    setObjectName(QStringLiteral("domandaForm"));
    setWindowTitle(QStringLiteral("Attenzione!"));
    setModal(true);

    // Room around each button for the scanning frame, however thick.
    const int gap = 2 * timing.frameMargin() + 8;
    const int panelWidth = 2 * buttonWidth + 3 * gap;
    const int panelHeight = buttonHeight + 2 * gap;
    setFixedSize(std::max(360, panelWidth + 40), 110 + panelHeight);

    Label1 = new QLabel(question, this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setWordWrap(true);
    QFont big(textFontFamily);
    big.setPixelSize(22);
    Label1->setFont(big);
    Label1->setGeometry(10, 10, width() - 20, 90);

    panelPulsanti = new QWidget(this);
    panelPulsanti->setObjectName(QStringLiteral("panelPulsanti"));
    panelPulsanti->setGeometry((width() - panelWidth) / 2, 100, panelWidth, panelHeight);
    QFont buttonFont = font();
    buttonFont.setPointSize(14);
    buttonFont.setBold(true);
    yesBut = new QPushButton(QString::fromUtf8("&Sì"), panelPulsanti);
    yesBut->setObjectName(QStringLiteral("yesBut"));
    yesBut->setProperty("tag", 0);
    yesBut->setProperty("spokenLabel", QString::fromUtf8("sì"));
    noBut = new QPushButton(QStringLiteral("&No"), panelPulsanti);
    noBut->setObjectName(QStringLiteral("noBut"));
    noBut->setProperty("tag", 1);
    noBut->setProperty("spokenLabel", QStringLiteral("no"));
    int x = gap;
    for (QPushButton* button : {yesBut, noBut}) {
        button->setFont(buttonFont);
        button->setGeometry(x, gap, buttonWidth, buttonHeight);
        button->setFocusPolicy(Qt::NoFocus);
        x += buttonWidth + gap;
    }
    connect(yesBut, &QPushButton::clicked, this, &QDialog::accept);
    connect(noBut, &QPushButton::clicked, this, &QDialog::reject);

    scan = std::make_unique<TScansione>(panelPulsanti, timing, device);
    scan->setVoice(speechScanVoice());
    if ((device == serialTwoSwitch || device == serialOneSwitch) && serial) {
        serialSwitches = serial;
        keptHandler = serialSwitches->pressHandler();
        serialSwitches->setPressHandler([this](TBottoneSeriale* sender) { serialPress(sender); });
    }
    scan->startScanning();
}

TdomandaForm::~TdomandaForm()
{
    if (serialSwitches)
        serialSwitches->setPressHandler(keptHandler);
    scan.reset();
}

void TdomandaForm::serialPress(TBottoneSeriale* sender)
{
    if (!scan || !sender)
        return;
    if (!isActiveWindow() && QApplication::activeModalWidget() != this)
        return;
    if (sender->dsrNow()) {
        scan->switchPressed(accessDevice == serialOneSwitch ? scanSelect : scanNext,
                            [sender] { return sender->dsrNow(); });
    } else if (sender->ctsNow()) {
        scan->switchPressed(scanSelect, [sender] { return sender->ctsNow(); });
    }
}

void TdomandaForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    // The first button's name, as the frame shows it.
    if (scan)
        scan->rebuildList();
}

DialogButton askPupil(QWidget* owner, const QString& text, bool scanningAccess, AccessDevice device,
                      const ScanTiming& timing, TBottoneSeriale* serial)
{
    if (!scanningAccess) {
        const DialogButton answer = askQuestion(QStringLiteral("Attenzione!"), text,
                                                YesButton | NoAnswerButton, DialogIcon::Warning);
        return answer == YesButton ? YesButton : NoAnswerButton;
    }
    TdomandaForm question(owner, text, device, timing, serial);
    return question.exec() == QDialog::Accepted ? YesButton : NoAnswerButton;
}
