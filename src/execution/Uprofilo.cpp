#include "execution/Uprofilo.h"

#include "common/TextFont.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

QDoubleSpinBox* secondsBox(QWidget* parent, const char* name, int minimumMs, int maximumMs)
{
    auto box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(1);
    box->setSingleStep(0.1);
    box->setRange(minimumMs / 1000.0, maximumMs / 1000.0);
    box->setSuffix(QStringLiteral(" s"));
    box->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    box->setAccelerated(true);
    return box;
}

int milliseconds(const QDoubleSpinBox* box)
{
    return int(std::lround(box->value() * 10.0)) * 100;
}

QLabel* buddyLabel(const QString& text, QWidget* buddy)
{
    auto label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

} // namespace

QFont TprofiloForm::defaultTextFont()
{
    return textFontAt(16);
}

TprofiloForm::TprofiloForm(const QString& pupilName, const PupilProfile& profile, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("profiloForm"));
    setWindowTitle(QStringLiteral("  profilo di ") + pupilName);
    setModal(true);

    scansioneGroup = new QGroupBox(QStringLiteral(" scansione "), this);
    scansioneGroup->setObjectName(QStringLiteral("scansioneGroup"));
    spinPasso = secondsBox(scansioneGroup, "spinPasso", PupilProfile::minStepMs,
                           PupilProfile::maxStepMs);
    spinPrimoPasso = secondsBox(scansioneGroup, "spinPrimoPasso", 0,
                                PupilProfile::maxFirstStepExtraMs);
    spinAccettazione = secondsBox(scansioneGroup, "spinAccettazione", 0, PupilProfile::maxAcceptMs);
    spinIgnora = secondsBox(scansioneGroup, "spinIgnora", 0, PupilProfile::maxIgnoreMs);
    spinGiri = new QSpinBox(scansioneGroup);
    spinGiri->setObjectName(QStringLiteral("spinGiri"));
    spinGiri->setRange(0, PupilProfile::maxCycles);
    spinGiri->setSpecialValueText(QStringLiteral("senza limite"));
    checkScansioneUditiva =
        new QCheckBox(QStringLiteral("scansione &uditiva (il nome del pulsante viene letto)"),
                      scansioneGroup);
    checkScansioneUditiva->setObjectName(QStringLiteral("checkScansioneUditiva"));
    checkCorniceGrande =
        new QCheckBox(QStringLiteral("cornice di scansione &grande (doppio spessore)"), scansioneGroup);
    checkCorniceGrande->setObjectName(QStringLiteral("checkCorniceGrande"));

    auto scanForm = new QFormLayout;
    scanForm->addRow(buddyLabel(QStringLiteral("&passo della scansione"), spinPasso), spinPasso);
    scanForm->addRow(buddyLabel(QStringLiteral("tempo in più sul p&rimo pulsante"), spinPrimoPasso),
                     spinPrimoPasso);
    scanForm->addRow(buddyLabel(QStringLiteral("pressione valida se tenuta &almeno"),
                                spinAccettazione),
                     spinAccettazione);
    scanForm->addRow(buddyLabel(QStringLiteral("&ignora le pressioni ripetute entro"), spinIgnora),
                     spinIgnora);
    scanForm->addRow(buddyLabel(QStringLiteral("giri prima di &fermarsi"), spinGiri), spinGiri);
    auto scanLayout = new QVBoxLayout(scansioneGroup);
    scanLayout->addLayout(scanForm);
    scanLayout->addWidget(checkScansioneUditiva);
    scanLayout->addWidget(checkCorniceGrande);

    letturaGroup = new QGroupBox(QStringLiteral(" lettura "), this);
    letturaGroup->setObjectName(QStringLiteral("letturaGroup"));
    fontBut = new QPushButton(letturaGroup);
    fontBut->setObjectName(QStringLiteral("fontBut"));
    fontBut->setAutoDefault(false);
    checkSintesi = new QCheckBox(letturaGroup);
    checkSintesi->setObjectName(QStringLiteral("checkSintesi"));
    checkSintesi->setTristate(true);
    spinVelocita = new QSpinBox(letturaGroup);
    spinVelocita->setObjectName(QStringLiteral("spinVelocita"));
    spinVelocita->setRange(PupilProfile::minSpeechSpeed - 1, PupilProfile::maxSpeechSpeed);
    spinVelocita->setSingleStep(5);
    spinVelocita->setSpecialValueText(QStringLiteral("come in \"configura sintesi\""));
    spinVelocita->setSuffix(QStringLiteral(" parole al minuto"));
    spinTempoMax = new QSpinBox(letturaGroup);
    spinTempoMax->setObjectName(QStringLiteral("spinTempoMax"));
    spinTempoMax->setRange(-1, PupilProfile::maxSentenceTimeLimit);
    spinTempoMax->setSpecialValueText(QStringLiteral("come nelle opzioni generali"));
    spinTempoMax->setSuffix(QStringLiteral(" s"));

    auto readForm = new QFormLayout;
    readForm->addRow(buddyLabel(QStringLiteral("&carattere del testo"), fontBut), fontBut);
    readForm->addRow(QString(), checkSintesi);
    readForm->addRow(buddyLabel(QString::fromUtf8("&velocità della lettura"), spinVelocita),
                     spinVelocita);
    readForm->addRow(buddyLabel(QStringLiteral("&tempo massimo per frase (0 = illimitato)"),
                                spinTempoMax),
                     spinTempoMax);
    auto readLayout = new QVBoxLayout(letturaGroup);
    readLayout->addLayout(readForm);

    predefinitiBut = new QPushButton(QStringLiteral("Valori pre&definiti"), this);
    predefinitiBut->setObjectName(QStringLiteral("predefinitiBut"));
    predefinitiBut->setAutoDefault(false);
    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("A&nnulla"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);
    auto buttons = new QHBoxLayout;
    buttons->addWidget(predefinitiBut);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);

    auto outer = new QVBoxLayout(this);
    outer->addWidget(scansioneGroup);
    outer->addWidget(letturaGroup);
    outer->addLayout(buttons);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(fontBut, &QPushButton::clicked, this, &TprofiloForm::fontButClick);
    connect(checkSintesi, &QCheckBox::stateChanged, this, &TprofiloForm::showSpeechChoice);
    connect(predefinitiBut, &QPushButton::clicked, this, [this] { showProfile(PupilProfile()); });
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

    showProfile(profile);
    spinPasso->setFocus();
}

void TprofiloForm::showProfile(const PupilProfile& shown)
{
    PupilProfile profile = shown;
    profile.clamp();
    spinPasso->setValue(profile.scan.stepMs / 1000.0);
    spinPrimoPasso->setValue(profile.scan.firstStepExtraMs / 1000.0);
    spinAccettazione->setValue(profile.scan.acceptMs / 1000.0);
    spinIgnora->setValue(profile.scan.ignoreMs / 1000.0);
    spinGiri->setValue(profile.scan.cycles);
    checkScansioneUditiva->setChecked(profile.scan.auditory);
    checkCorniceGrande->setChecked(profile.scan.largeFrame);
    fontFamily = profile.fontFamily;
    fontSize = profile.fontSize;
    showFont();
    checkSintesi->setCheckState(!profile.useSpeech ? Qt::PartiallyChecked
                                : *profile.useSpeech ? Qt::Checked
                                                     : Qt::Unchecked);
    spinVelocita->setValue(profile.speechSpeed.value_or(spinVelocita->minimum()));
    spinTempoMax->setValue(profile.maxSentenceTime.value_or(-1));
    showSpeechChoice();
}

PupilProfile TprofiloForm::chosenProfile() const
{
    PupilProfile profile;
    profile.scan.stepMs = milliseconds(spinPasso);
    profile.scan.firstStepExtraMs = milliseconds(spinPrimoPasso);
    profile.scan.acceptMs = milliseconds(spinAccettazione);
    profile.scan.ignoreMs = milliseconds(spinIgnora);
    profile.scan.cycles = spinGiri->value();
    profile.scan.auditory = checkScansioneUditiva->isChecked();
    profile.scan.largeFrame = checkCorniceGrande->isChecked();
    profile.fontFamily = fontFamily;
    profile.fontSize = fontSize;
    if (checkSintesi->checkState() != Qt::PartiallyChecked)
        profile.useSpeech = checkSintesi->checkState() == Qt::Checked;
    if (spinVelocita->value() != spinVelocita->minimum())
        profile.speechSpeed = spinVelocita->value();
    if (spinTempoMax->value() >= 0)
        profile.maxSentenceTime = spinTempoMax->value();
    profile.clamp();
    return profile;
}

void TprofiloForm::showFont()
{
    if (fontFamily.isEmpty()) {
        const QFont font = defaultTextFont();
        fontBut->setText(QStringLiteral("quello della finestra (%1, %2)")
                             .arg(font.family())
                             .arg(font.pointSize()));
    } else {
        fontBut->setText(QStringLiteral("%1, %2").arg(fontFamily).arg(fontSize));
    }
}

void TprofiloForm::fontButClick()
{
    QFont font = defaultTextFont();
    if (!fontFamily.isEmpty()) {
        font.setFamily(fontFamily);
        font.setPointSize(fontSize);
    }
    if (!chooseTextFont(font))
        return;
    fontFamily = font.family();
    fontSize = std::clamp(font.pointSize() > 0 ? font.pointSize() : 16, PupilProfile::minFontSize,
                          PupilProfile::maxFontSize);
    showFont();
}

void TprofiloForm::showSpeechChoice()
{
    switch (checkSintesi->checkState()) {
    case Qt::Checked:
        checkSintesi->setText(QString::fromUtf8("&lettura ad alta voce: sì"));
        break;
    case Qt::Unchecked:
        checkSintesi->setText(QStringLiteral("&lettura ad alta voce: no"));
        break;
    default:
        checkSintesi->setText(QStringLiteral("&lettura ad alta voce: come nelle opzioni generali"));
        break;
    }
    spinVelocita->setEnabled(checkSintesi->checkState() != Qt::Unchecked);
}
