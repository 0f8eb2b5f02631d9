#include "execution/Usceltae.h"

#include "access/Joystick.h"
#include "access/SerBtn.h"
#include "access/Serial.h"
#include "common/AppContext.h"
#include "execution/RadioGroup.h"
#include "execution/Uprofilo.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/ResultsFile.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTextBlock>

#include <algorithm>

namespace {

constexpr int maxInfoLength = 120;

// What the name would break in the results archive, as a message; empty when
// it can be stored. The name becomes part of the header line of every run
// ("[identificatore=" + name + "^" + run + "]").
QString nameProblem(const QString& name)
{
    const QString forbidden = RunIdentifier::forbiddenInPupil() + QStringLiteral("\r\n");
    if (std::any_of(name.cbegin(), name.cend(), [&](QChar c) { return forbidden.contains(c); }))
        return QStringLiteral("Il nome non può contenere i caratteri ^, [, ] né andare a capo. "
                              "Eliminali e ripeti l'operazione");
    if (!fitsCp1252(name))
        return QStringLiteral("Il nome contiene caratteri che non possono essere registrati. "
                              "Eliminali e ripeti l'operazione");
    return {};
}

// The same for the information lines, which are stored inside the run's
// block: a line must not look like a section or the header of another run.
QString infoProblem(const QStringList& lines)
{
    for (const QString& line : lines) {
        if (line.contains(QLatin1Char('[')) || line.contains(QLatin1Char(']'))
            || trimSpaces(line).startsWith(QLatin1Char('=')) || isRunHeader(line))
            return QStringLiteral("Le altre informazioni non possono contenere i caratteri [, ] "
                                  "né righe che iniziano con = o con identificatore=. "
                                  "Correggile e ripeti l'operazione");
    }
    if (!fitsCp1252(lines))
        return QStringLiteral("Le altre informazioni contengono caratteri che non possono essere "
                              "registrati. Eliminali e ripeti l'operazione");
    return {};
}

QLabel* label(QWidget* parent, const char* name, const QString& text, int x, int y)
{
    auto widget = new QLabel(text, parent);
    widget->setObjectName(QLatin1String(name));
    widget->move(x, y);
    return widget;
}

} // namespace

TsceltaEs::TsceltaEs(const AppContext& context, QWidget* parent)
    : QDialog(parent), serialSwitches(context.serialSwitches), dataRoot(context.dataRoot)
{
    setObjectName(QStringLiteral("sceltaEs"));
    setWindowTitle(QStringLiteral("  esercizio"));
    setModal(true);
    setFixedSize(335, 335);

    QFont bold = font();
    bold.setBold(true);

    GroupBox1 = new QGroupBox(QStringLiteral(" utente "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setFont(bold);
    GroupBox1->setGeometry(8, 6, 319, 150);
    Label1 = label(GroupBox1, "Label1", QStringLiteral("nome"), 12, 20);
    comboNomi = new QComboBox(GroupBox1);
    comboNomi->setObjectName(QStringLiteral("comboNomi"));
    comboNomi->setEditable(true);
    comboNomi->setInsertPolicy(QComboBox::NoInsert);
    comboNomi->setGeometry(12, 38, 295, 26);
    Label2 = label(GroupBox1, "Label2", QStringLiteral("altre informazioni"), 12, 70);
    memoInfo = new QPlainTextEdit(GroupBox1);
    memoInfo->setObjectName(QStringLiteral("memoInfo"));
    memoInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoInfo->setTabChangesFocus(true);
    memoInfo->setGeometry(12, 88, 295, 52);
    for (QWidget* child : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(comboNomi),
                           static_cast<QWidget*>(Label2), static_cast<QWidget*>(memoInfo)}) {
        QFont plain = child->font();
        plain.setBold(false);
        child->setFont(plain);
    }
    connect(memoInfo, &QPlainTextEdit::textChanged, this, [this] {
        // The memo holds at most 120 characters (line ends count as one).
        const QString text = memoInfo->toPlainText();
        if (text.size() > maxInfoLength) {
            const QSignalBlocker blocker(memoInfo);
            memoInfo->setPlainText(text.left(maxInfoLength));
            memoInfo->moveCursor(QTextCursor::End);
        }
    });

    RadioAccesso = new TRadioGroup(
        "RadioAccesso", QStringLiteral(" accesso "),
        {QStringLiteral("  mouse e tastiera"),
         QStringLiteral("  monotasto a scansione (barra spaziatrice)"), QStringLiteral("  joystick"),
         QStringLiteral("  dispositivo seriale")},
        this);
    RadioAccesso->setFont(bold);
    RadioAccesso->setGeometry(8, 160, 319, 136);
    RadioAccesso->setItemIndex(accessMouseKeyboard);

    comboJoy = new QComboBox(this);
    comboJoy->setObjectName(QStringLiteral("comboJoy"));
    comboJoy->addItems({QStringLiteral("direzionale"), QStringLiteral("bitasto"),
                        QStringLiteral("monotasto")});
    comboJoy->resize(150, 24);
    ComboSeriale = new QComboBox(this);
    ComboSeriale->setObjectName(QStringLiteral("ComboSeriale"));
    const QList<SerialPortEntry> entries = serialPortEntries();
    for (const SerialPortEntry& entry : entries) {
        ComboSeriale->addItem(entry.text);
        serialDevices.append(entry.devicePath);
        serialNumbers.append(entry.portNumber);
    }
    ComboSeriale->resize(150, 24);
    comboJoy->setCurrentIndex(0);
    ComboSeriale->setCurrentIndex(0);
    // Touching a device list chooses its access.
    for (QComboBox* combo : {comboJoy, ComboSeriale})
        combo->installEventFilter(this);
    connect(comboJoy, &QComboBox::activated, this,
            [this] { RadioAccesso->setItemIndex(accessJoystick); });
    connect(ComboSeriale, &QComboBox::activated, this,
            [this] { RadioAccesso->setItemIndex(accessSerial); });

    profiloBut = new QPushButton(QStringLiteral("&profilo..."), this);
    profiloBut->setObjectName(QStringLiteral("profiloBut"));
    profiloBut->setGeometry(14, 302, 96, 26);
    profiloBut->setAutoDefault(false);
    proseguiBut = new QPushButton(QStringLiteral("&avanti"), this);
    proseguiBut->setObjectName(QStringLiteral("proseguiBut"));
    proseguiBut->setDefault(true);
    proseguiBut->setGeometry(124, 302, 96, 26);
    annullaBut = new QPushButton(QStringLiteral("a&nnulla"), this);
    annullaBut->setObjectName(QStringLiteral("annullaBut"));
    annullaBut->setGeometry(226, 302, 96, 26);
    connect(profiloBut, &QPushButton::clicked, this, &TsceltaEs::profiloButClick);
    connect(proseguiBut, &QPushButton::clicked, this, &TsceltaEs::proseguiButClick);
    connect(annullaBut, &QPushButton::clicked, this, &QDialog::reject);
    // A profile belongs to a pupil: the button waits for a name.
    connect(comboNomi, &QComboBox::editTextChanged, this, [this](const QString& text) {
        profiloBut->setEnabled(!trimSpaces(text).isEmpty());
    });

    // Every pupil with stored runs, once, in the order of the first run.
    QStringList names;
    QSet<QString> listed;
    for (const RunIdentifier& identifier : ResultsArchive::in(context.dataRoot).runs()) {
        const QString name = identifier.pupil();
        if (!listed.contains(name)) {
            listed.insert(name);
            names << name;
        }
    }
    comboNomi->addItems(names);
    comboNomi->setEditText(QStringLiteral("UTENTE"));
    profiloBut->setEnabled(!trimSpaces(comboNomi->currentText()).isEmpty());
    comboNomi->setFocus();
}

TsceltaEs::~TsceltaEs() = default;

QString TsceltaEs::pupilName() const
{
    return comboNomi->currentText().toUpper();
}

QStringList TsceltaEs::pupilInfo() const
{
    QStringList lines;
    for (QTextBlock block = memoInfo->document()->begin(); block.isValid(); block = block.next())
        lines << block.text();
    if (lines.size() == 1 && lines.first().isEmpty())
        lines.clear();
    return lines;
}

bool TsceltaEs::scanningAccess() const
{
    return RadioAccesso->itemIndex() != accessMouseKeyboard;
}

AccessDevice TsceltaEs::accessDevice() const
{
    switch (RadioAccesso->itemIndex()) {
    case accessJoystick:
        switch (comboJoy->currentIndex()) {
        case 1:
            return joystickTwoButton;
        case 2:
            return joystickOneButton;
        default:
            return joystickDirectional;
        }
    case accessSerial:
        // The entries come in pairs: "bitasto", then "monotasto".
        return ComboSeriale->currentIndex() % 2 ? serialOneSwitch : serialTwoSwitch;
    default:
        return spaceBarSwitch;
    }
}

int TsceltaEs::serialPortNumber() const
{
    return serialNumbers.value(ComboSeriale->currentIndex());
}

void TsceltaEs::proseguiButClick()
{
    const QString name = trimSpaces(comboNomi->currentText());
    if (name.isEmpty()) {
        showMessage(QStringLiteral("Inserisci un nome"));
        return;
    }
    QString problem = nameProblem(comboNomi->currentText());
    if (problem.isEmpty())
        problem = infoProblem(pupilInfo());
    if (!problem.isEmpty()) {
        showMessage(problem);
        return;
    }

    // The pupil's profile, as stored now (another computer may have changed it).
    if (readPupilProfile(dataRoot, name, profile) == ProfileRead::damaged
        && damageReported != name.toUpper()) {
        showMessage(damagedProfileMessage(name));
        damageReported = name.toUpper();
    }

    switch (RadioAccesso->itemIndex()) {
    case accessJoystick: {
        int code = joyOk;
        if (joystickPresent(0, code))
            break;
        switch (code) {
        case joyNoDriver:
            showMessage(QStringLiteral("il joystick non e' installato"));
            break;
        case joyParms:
            showMessage(QStringLiteral("Errore JOYERR_PARMS del joystick"));
            break;
        case joyUnplugged:
            showMessage(QStringLiteral("Il joystick non e' collegato"));
            break;
        default:
            // A joystick that is there but cannot be opened (busy, no access).
            showMessage(QStringLiteral("Impossibile utilizzare il joystick"));
            break;
        }
        return;
    }
    case accessSerial: {
        const QString device = serialDevices.value(ComboSeriale->currentIndex());
        if (serialSwitches && !device.isEmpty())
            serialSwitches->openPort(device);
        if (!serialSwitches || !serialSwitches->portReady()) {
            QString message = QStringLiteral("Impossibile utilizzare il tasto seriale");
            const QString why = serialSwitches ? serialSwitches->portError() : QString();
            if (!why.isEmpty())
                message += QStringLiteral("\n") + why;
            showMessage(message);
            return;
        }
        break;
    }
    default:
        break;
    }
    accept();
}

void TsceltaEs::profiloButClick()
{
    const QString name = trimSpaces(comboNomi->currentText());
    if (name.isEmpty()) {
        showMessage(QStringLiteral("Inserisci un nome"));
        return;
    }
    const QString problem = nameProblem(comboNomi->currentText());
    if (!problem.isEmpty()) {
        showMessage(problem);
        return;
    }
    const QString upper = name.toUpper();
    PupilProfile stored;
    if (readPupilProfile(dataRoot, name, stored) == ProfileRead::damaged) {
        showMessage(damagedProfileMessage(name));
        damageReported = upper;
    }
    TprofiloForm form(upper, stored, this);
    if (form.exec() != QDialog::Accepted)
        return;
    // Saved again, a damaged file is replaced: the pupil has a profile again.
    if (savePupilProfile(dataRoot, name, form.chosenProfile()))
        damageReported.clear();
}

void TsceltaEs::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Each device list stands beside its access, once the items are laid out.
    const auto beside = [this](QComboBox* combo, int item) {
        const QWidget* radio = RadioAccesso->item(item);
        const QPoint at = radio->mapTo(this, QPoint(0, 0));
        combo->move(RadioAccesso->geometry().right() - combo->width() - 8,
                    at.y() + (radio->height() - combo->height()) / 2);
        combo->raise();
    };
    beside(comboJoy, accessJoystick);
    beside(ComboSeriale, accessSerial);
}

bool TsceltaEs::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == comboJoy)
            RadioAccesso->setItemIndex(accessJoystick);
        else if (watched == ComboSeriale)
            RadioAccesso->setItemIndex(accessSerial);
    }
    return QDialog::eventFilter(watched, event);
}

bool startExerciseRun(QWidget* owner, const AppContext& context,
                      const std::function<void(TsceltaEs& setUp)>& runWindow)
{
    TsceltaEs setUp(context, owner);
    if (setUp.exec() != QDialog::Accepted)
        return false;
    runWindow(setUp);
    return true;
}
