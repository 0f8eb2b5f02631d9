#include "speech/SpeechF.h"

#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "speech/SpeechEngine.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QSlider>
#include <QStandardPaths>
#include <QtEndian>
#include <algorithm>
#include <functional>

TSpeechSettings SpeechSettings;

namespace {

constexpr int NameFieldSize = 256;
constexpr int MaxNameLength = 255;
constexpr int VolumeOffset = 512;
constexpr int SpeedOffset = 516;
constexpr int PitchOffset = 520;

void putName(QByteArray& record, int offset, const QByteArray& name)
{
    const QByteArray text = name.left(MaxNameLength);
    record[offset] = char(quint8(text.size()));
    std::copy(text.cbegin(), text.cend(), record.begin() + offset + 1);
}

QByteArray takeName(const QByteArray& record, int offset)
{
    const int length = quint8(record.at(offset));
    return record.mid(offset + 1, length);
}

// The hourglass while the speech component changes language or voice.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(QCursor(Qt::WaitCursor)); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

// ---------------------------------------------------------------------------
// Settings file

QByteArray encodeSpeechSettings(const TSpeechSettings& settings)
{
    QByteArray record(SpeechSettingsSize, '\0');
    putName(record, 0, settings.languageName);
    putName(record, NameFieldSize, settings.voiceName);
    qToLittleEndian<qint32>(settings.volume, record.data() + VolumeOffset);
    qToLittleEndian<qint32>(settings.speed, record.data() + SpeedOffset);
    qToLittleEndian<qint32>(settings.pitch, record.data() + PitchOffset);
    return record;
}

TSpeechSettings decodeSpeechSettings(const QByteArray& bytes)
{
    TSpeechSettings settings;
    if (bytes.size() != SpeechSettingsSize)
        return settings;
    settings.languageName = takeName(bytes, 0);
    settings.voiceName = takeName(bytes, NameFieldSize);
    settings.volume = qFromLittleEndian<qint32>(bytes.constData() + VolumeOffset);
    settings.speed = qFromLittleEndian<qint32>(bytes.constData() + SpeedOffset);
    settings.pitch = qFromLittleEndian<qint32>(bytes.constData() + PitchOffset);
    return settings;
}

QString speechSettingsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("menu.cfg"));
}

QString startFolderSpeechSettingsPath()
{
    return QDir::current().filePath(QStringLiteral("menu.cfg"));
}

TSpeechSettings loadSpeechSettings()
{
    const QString path = speechSettingsPath();
    const QFileInfo stored(path);
    if (stored.exists() || stored.isSymLink())
        return readSpeechSettings(path);
    const QString earlier = startFolderSpeechSettingsPath();
    const QFileInfo found(earlier);
    if (!found.isFile() || found.size() != SpeechSettingsSize)
        return {};
    const TSpeechSettings settings = readSpeechSettings(earlier);
    // Not saved (a configuration folder that cannot be written): read from
    // the start folder again next time, nothing is lost.
    writeSpeechSettings(path, settings);
    return settings;
}

TSpeechSettings readSpeechSettings(const QString& path)
{
    // Only a regular file: opening a pipe or a device of that name would
    // wait, or read something that is no record.
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != SpeechSettingsSize)
        return {};
    const QByteArray bytes = file.read(SpeechSettingsSize + 1);
    return decodeSpeechSettings(bytes);
}

bool writeSpeechSettings(const QString& path, const TSpeechSettings& settings)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray record = encodeSpeechSettings(settings);
    if (file.write(record) != record.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// ---------------------------------------------------------------------------
// Settings in effect

void applySpeechSettings(SpeechBackend& speech, const TSpeechSettings& settings)
{
    auto find = [](int count, const std::function<QString(int)>& name, const QByteArray& wanted) {
        for (int i = 0; i < count && !wanted.isEmpty(); ++i) {
            if (encodeCp1252(name(i)).left(MaxNameLength) == wanted)
                return i;
        }
        return -1;
    };
    const int language = find(speech.numLanguages(),
                              [&speech](int i) { return speech.languageName(i); },
                              settings.languageName);
    if (language >= 0 && language != speech.currentLanguageIndex())
        speech.selectLanguageByIndex(language);
    // The voice is looked for among those of the language now in effect.
    const int voice = find(speech.numVoices(), [&speech](int i) { return speech.voiceName(i); },
                           settings.voiceName);
    if (voice >= 0)
        speech.selectVoiceByIndex(voice);

    if (settings.volume == 0 && settings.speed == 0 && settings.pitch == 0)
        return;
    const std::pair<SpeechBackend::Quantity, qint32> values[] = {
        {SpeechBackend::Volume, settings.volume},
        {SpeechBackend::Speed, settings.speed},
        {SpeechBackend::Pitch, settings.pitch},
    };
    for (const auto& [quantity, value] : values) {
        const bool inRange = value >= speech.minimum(quantity) && value <= speech.maximum(quantity);
        speech.setValue(quantity, inRange ? value : speech.defaultValue(quantity));
    }
}

bool startSpeech()
{
    if (!VS_CreateSpeechEngine())
        return false;
    VsSpeechBackend speech;
    SpeechSettings = loadSpeechSettings();
    applySpeechSettings(speech, SpeechSettings);
    return true;
}

// ---------------------------------------------------------------------------
// Slider mapping

int sliderValue(int position, int minimum, int maximum)
{
    if (maximum <= minimum)
        return minimum;
    const qint64 range = qint64(maximum) - minimum;
    return int(minimum + qint64(std::clamp(position, 0, SliderSteps)) * range / SliderSteps);
}

int sliderPosition(int value, int minimum, int maximum)
{
    if (maximum <= minimum)
        return 0;
    const qint64 range = qint64(maximum) - minimum;
    const qint64 offset = qint64(std::clamp(value, minimum, maximum)) - minimum;
    // Rounded up: the first position whose value is at least `value`. Rounding
    // down would show (and send back) a smaller value than the current one
    // whenever the range does not divide evenly, so every opening of the
    // window would lower the setting.
    return int((offset * SliderSteps + range - 1) / range);
}

// ---------------------------------------------------------------------------
// Backends

SpeechBackend::~SpeechBackend() = default;

bool VsSpeechBackend::available() { return SpeechAvailable; }
int VsSpeechBackend::numLanguages() { return VS_GetNumLanguages(); }
QString VsSpeechBackend::languageName(int index) { return decodeCp1252(VS_GetLanguageName(index)); }
int VsSpeechBackend::currentLanguageIndex() { return VS_GetCurrentLanguageIndex(); }
void VsSpeechBackend::selectLanguageByIndex(int index) { VS_SelectLanguageByIndex(index); }
int VsSpeechBackend::numVoices() { return VS_GetNumVoices(); }
QString VsSpeechBackend::voiceName(int index) { return decodeCp1252(VS_GetVoiceName(index)); }
int VsSpeechBackend::currentVoiceIndex() { return VS_GetCurrentVoiceIndex(); }
void VsSpeechBackend::selectVoiceByIndex(int index) { VS_SelectVoiceByIndex(index); }
QByteArray VsSpeechBackend::testMessage() { return QByteArray(VS_GetTestMessage()); }
void VsSpeechBackend::sayText(const QByteArray& text, int mode) { VS_SayText(text.constData(), mode); }

int VsSpeechBackend::minimum(Quantity quantity)
{
    switch (quantity) {
    case Volume: return VS_GetMinVolume();
    case Speed: return VS_GetMinSpeed();
    case Pitch: return VS_GetMinPitch();
    }
    return 0;
}

int VsSpeechBackend::maximum(Quantity quantity)
{
    switch (quantity) {
    case Volume: return VS_GetMaxVolume();
    case Speed: return VS_GetMaxSpeed();
    case Pitch: return VS_GetMaxPitch();
    }
    return 0;
}

int VsSpeechBackend::current(Quantity quantity)
{
    switch (quantity) {
    case Volume: return VS_GetVolume();
    case Speed: return VS_GetSpeed();
    case Pitch: return VS_GetPitch();
    }
    return 0;
}

int VsSpeechBackend::defaultValue(Quantity quantity)
{
    switch (quantity) {
    case Volume: return VS_GetDefaultVolume();
    case Speed: return VS_GetDefaultSpeed();
    case Pitch: return VS_GetDefaultPitch();
    }
    return 0;
}

void VsSpeechBackend::setValue(Quantity quantity, int value)
{
    switch (quantity) {
    case Volume: VS_SetVolume(value); break;
    case Speed: VS_SetSpeed(value); break;
    case Pitch: VS_SetPitch(value); break;
    }
}

// ---------------------------------------------------------------------------
// TFormSpeechSetup

TFormSpeechSetup::TFormSpeechSetup(QWidget* parent, SpeechBackend* backend)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    if (!backend) {
        ownBackend = std::make_unique<VsSpeechBackend>();
        backend = ownBackend.get();
    }
    speech = backend;
    setObjectName(QStringLiteral("FormSpeechSetup"));
    setFixedSize(470, 290);

    auto label = [this](const char* name, int y) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(16, y, 84, 24);
        return l;
    };
    auto combo = [this](const char* name, int y) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->setEditable(false);
        c->setGeometry(104, y, 350, 26);
        return c;
    };
    auto slider = [this](const char* name, int y) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setObjectName(QLatin1String(name));
        s->setRange(0, SliderSteps);
        s->setTickInterval(500);
        s->setTickPosition(QSlider::TicksBelow);
        s->setSingleStep(100);
        s->setPageStep(500);
        s->setGeometry(104, y, 350, 34);
        return s;
    };
    auto button = [this](const char* name, int x) {
        auto* b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        b->setGeometry(x, 244, 100, 30);
        return b;
    };

    QLabel* LanguageLabel = label("LanguageLabel", 16);
    LanguageComboBox = combo("LanguageComboBox", 15);
    QLabel* VoiceLabel = label("VoiceLabel", 54);
    VoiceComboBox = combo("VoiceComboBox", 53);
    QLabel* VolumeLabel = label("VolumeLabel", 98);
    VolumeTrackBar = slider("VolumeTrackBar", 94);
    QLabel* SpeedLabel = label("SpeedLabel", 146);
    SpeedTrackBar = slider("SpeedTrackBar", 142);
    QLabel* PitchLabel = label("PitchLabel", 194);
    PitchTrackBar = slider("PitchTrackBar", 190);
    TestButton = button("TestButton", 16);
    DefaultsButton = button("DefaultsButton", 124);
    OkButton = button("OkButton", 246);
    CancelButton = button("CancelButton", 354);
    OkButton->setDefault(true);

    // The window's texts.
    setWindowTitle(QStringLiteral("Sintesi vocale"));
    LanguageLabel->setText(QStringLiteral("Lingua"));
    VoiceLabel->setText(QStringLiteral("Voce"));
    VolumeLabel->setText(QStringLiteral("Volume"));
    SpeedLabel->setText(QStringLiteral("Velocità"));
    PitchLabel->setText(QStringLiteral("Tono"));
    TestButton->setText(QStringLiteral("&Test"));
    DefaultsButton->setText(QStringLiteral("&Reimposta"));
    CancelButton->setText(QStringLiteral("Annulla"));
    OkButton->setText(QStringLiteral("OK"));
    LanguageLabel->setBuddy(LanguageComboBox);
    VoiceLabel->setBuddy(VoiceComboBox);

    volume = {VolumeTrackBar, SpeechBackend::Volume};
    speed = {SpeedTrackBar, SpeechBackend::Speed};
    pitch = {PitchTrackBar, SpeechBackend::Pitch};

    connect(LanguageComboBox, &QComboBox::currentIndexChanged, this,
            &TFormSpeechSetup::LanguageComboBoxChange);
    connect(VoiceComboBox, &QComboBox::currentIndexChanged, this,
            &TFormSpeechSetup::VoiceComboBoxChange);
    connect(VolumeTrackBar, &QSlider::valueChanged, this,
            [this](int position) { trackBarChange(volume, position); });
    connect(SpeedTrackBar, &QSlider::valueChanged, this,
            [this](int position) { trackBarChange(speed, position); });
    connect(PitchTrackBar, &QSlider::valueChanged, this,
            [this](int position) { trackBarChange(pitch, position); });
    connect(TestButton, &QPushButton::clicked, this, &TFormSpeechSetup::TestButtonClick);
    connect(DefaultsButton, &QPushButton::clicked, this, &TFormSpeechSetup::DefaultsButtonClick);
    connect(OkButton, &QPushButton::clicked, this, &TFormSpeechSetup::OkButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TFormSpeechSetup::CancelButtonClick);

    FormCreate();

    if (QScreen* screen = (parent ? parent->screen() : QGuiApplication::primaryScreen())) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TFormSpeechSetup::~TFormSpeechSetup() = default;

void TFormSpeechSetup::FormCreate()
{
    if (speech->available()) {
        SpeechSettings = loadSpeechSettings();
        filling = true;
        LanguageComboBox->clear();
        for (int i = 0, count = speech->numLanguages(); i < count; ++i)
            LanguageComboBox->addItem(speech->languageName(i));
        filling = false;
    }
    fillVoiceList();
    refreshSliders();
    filling = true;
    LanguageComboBox->setCurrentIndex(speech->currentLanguageIndex());
    VoiceComboBox->setCurrentIndex(speech->currentVoiceIndex());
    filling = false;
    // The window shows, and OK stores, what is in effect.
    for (Slider* slider : {&volume, &speed, &pitch})
        slider->value = speech->current(slider->quantity);
}

void TFormSpeechSetup::fillVoiceList()
{
    filling = true;
    VoiceComboBox->clear();
    for (int i = 0, count = speech->numVoices(); i < count; ++i)
        VoiceComboBox->addItem(speech->voiceName(i));
    VoiceComboBox->setCurrentIndex(speech->currentVoiceIndex());
    filling = false;
}

void TFormSpeechSetup::refreshSliders()
{
    for (Slider* slider : {&volume, &speed, &pitch}) {
        slider->minimum = speech->minimum(slider->quantity);
        slider->maximum = speech->maximum(slider->quantity);
        const int current = speech->current(slider->quantity);
        // A position that differs from the slider's present one runs its
        // change handler, which sends the value to the speech component.
        slider->bar->setValue(sliderPosition(current, slider->minimum, slider->maximum));
    }
}

void TFormSpeechSetup::applyListChoices()
{
    WaitCursor wait;
    speech->selectLanguageByIndex(LanguageComboBox->currentIndex());
    speech->selectVoiceByIndex(VoiceComboBox->currentIndex());
}

void TFormSpeechSetup::LanguageComboBoxChange(int index)
{
    if (filling)
        return;
    WaitCursor wait;
    speech->selectLanguageByIndex(index);
    fillVoiceList();
    applyListChoices();
    refreshSliders();
}

void TFormSpeechSetup::VoiceComboBoxChange(int /*index*/)
{
    if (filling)
        return;
    applyListChoices();
    refreshSliders();
}

void TFormSpeechSetup::trackBarChange(Slider& slider, int position)
{
    slider.value = sliderValue(position, slider.minimum, slider.maximum);
    speech->setValue(slider.quantity, slider.value);
}

void TFormSpeechSetup::TestButtonClick()
{
    speech->sayText(speech->testMessage(), 0);
}

void TFormSpeechSetup::DefaultsButtonClick()
{
    speech->setValue(SpeechBackend::Volume, speech->defaultValue(SpeechBackend::Volume));
    speech->setValue(SpeechBackend::Speed, speech->defaultValue(SpeechBackend::Speed));
    speech->setValue(SpeechBackend::Pitch, speech->defaultValue(SpeechBackend::Pitch));
    refreshSliders();
}

void TFormSpeechSetup::OkButtonClick()
{
    SpeechSettings.languageName = encodeCp1252(LanguageComboBox->currentText().left(MaxNameLength));
    SpeechSettings.voiceName = encodeCp1252(VoiceComboBox->currentText().left(MaxNameLength));
    SpeechSettings.volume = volume.value;
    SpeechSettings.speed = speed.value;
    SpeechSettings.pitch = pitch.value;
    if (!writeSpeechSettings(speechSettingsPath(), SpeechSettings))
        showMessage(QStringLiteral("Impossibile salvare le impostazioni della sintesi vocale "
                                   "nel file ")
                    + speechSettingsPath());
    accept();
}

void TFormSpeechSetup::CancelButtonClick()
{
    QDialog::reject();
}

void TFormSpeechSetup::reject()
{
    // Esc and the window's close box are "Annulla": nothing is written.
    CancelButtonClick();
}
