#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QSlider;

// The speech settings as stored in "menu.cfg": 524 bytes, little-endian.
// Names are length-prefixed windows-1252 strings in 256-byte fields.
struct TSpeechSettings {
    QByteArray languageName; // at most 255 bytes
    QByteArray voiceName;    // at most 255 bytes
    qint32 volume = 0;
    qint32 speed = 0;
    qint32 pitch = 0;
};

constexpr int SpeechSettingsSize = 524;

// The program-wide settings record, filled when the set-up window opens.
extern TSpeechSettings SpeechSettings;

QByteArray encodeSpeechSettings(const TSpeechSettings& settings);
// The default (zero) record unless `bytes` is exactly one record long.
TSpeechSettings decodeSpeechSettings(const QByteArray& bytes);
// "menu.cfg" in the user's configuration folder, where the settings are kept.
QString speechSettingsPath();
// "menu.cfg" in the folder the program was started from, where earlier
// versions of the program kept it.
QString startFolderSpeechSettingsPath();
// Missing, unreadable or of another size: the default record, without a message.
TSpeechSettings readSpeechSettings(const QString& path);
// Replaces the file whole (its folder is made when missing); false when it
// could not be written.
bool writeSpeechSettings(const QString& path, const TSpeechSettings& settings);
// The stored settings. While the configuration folder holds no "menu.cfg",
// a valid one of the start folder is read and saved in the configuration
// folder, so this happens once; the start folder's file is left as it is.
TSpeechSettings loadSpeechSettings();

// What the set-up window asks of the speech component. The program's own
// implementation calls the VS_ functions; tests put a scripted one in place.
class SpeechBackend
{
public:
    enum Quantity { Volume, Speed, Pitch };

    virtual ~SpeechBackend();
    virtual bool available() = 0;
    virtual int numLanguages() = 0;
    virtual QString languageName(int index) = 0;
    virtual int currentLanguageIndex() = 0;
    virtual void selectLanguageByIndex(int index) = 0;
    virtual int numVoices() = 0;
    virtual QString voiceName(int index) = 0;
    virtual int currentVoiceIndex() = 0;
    virtual void selectVoiceByIndex(int index) = 0;
    virtual int minimum(Quantity quantity) = 0;
    virtual int maximum(Quantity quantity) = 0;
    virtual int current(Quantity quantity) = 0;
    virtual int defaultValue(Quantity quantity) = 0;
    virtual void setValue(Quantity quantity, int value) = 0;
    virtual QByteArray testMessage() = 0;
    virtual void sayText(const QByteArray& text, int mode) = 0;
};

// The speech component itself, through the VS_ functions.
class VsSpeechBackend final : public SpeechBackend
{
public:
    bool available() override;
    int numLanguages() override;
    QString languageName(int index) override;
    int currentLanguageIndex() override;
    void selectLanguageByIndex(int index) override;
    int numVoices() override;
    QString voiceName(int index) override;
    int currentVoiceIndex() override;
    void selectVoiceByIndex(int index) override;
    int minimum(Quantity quantity) override;
    int maximum(Quantity quantity) override;
    int current(Quantity quantity) override;
    int defaultValue(Quantity quantity) override;
    void setValue(Quantity quantity, int value) override;
    QByteArray testMessage() override;
    void sayText(const QByteArray& text, int mode) override;
};

// Puts stored settings into effect: the language and the voice of those
// names, and each of volume, speed and pitch that lies within the
// component's range. Whatever no longer exists (a language or voice of
// another name, a value out of range) is the component's default. A record
// without a language name and with three zeros stores nothing.
void applySpeechSettings(SpeechBackend& speech, const TSpeechSettings& settings);

// Creates the speech engine and puts the stored settings into effect
// (SpeechSettings then holds them). True when speech is available.
bool startSpeech();

// Slider positions run from 0 to SliderSteps.
constexpr int SliderSteps = 10000;
// The value a slider position stands for (quantised to SliderSteps + 1 steps).
int sliderValue(int position, int minimum, int maximum);
// The position that shows `value`: the first position whose value is `value`,
// so that showing a value and reading it back never changes it.
int sliderPosition(int value, int minimum, int maximum);

// The speech set-up window: language, voice, volume, speed and pitch, tried
// with the test sentence and stored in "menu.cfg" by OK.
class TFormSpeechSetup : public QDialog
{
public:
    // `backend` is not owned; without one the window uses the VS_ functions.
    explicit TFormSpeechSetup(QWidget* parent = nullptr, SpeechBackend* backend = nullptr);
    ~TFormSpeechSetup() override;

    QComboBox* LanguageComboBox;
    QComboBox* VoiceComboBox;
    QSlider* VolumeTrackBar;
    QSlider* SpeedTrackBar;
    QSlider* PitchTrackBar;
    QPushButton* TestButton;
    QPushButton* DefaultsButton;
    QPushButton* OkButton;
    QPushButton* CancelButton;

    void reject() override;

private:
    struct Slider {
        QSlider* bar = nullptr;
        SpeechBackend::Quantity quantity = SpeechBackend::Volume;
        int minimum = 0;
        int maximum = 0;
        int value = 0; // working value
    };

    void FormCreate();
    void fillVoiceList();
    void refreshSliders();
    void applyListChoices();
    void LanguageComboBoxChange(int index);
    void VoiceComboBoxChange(int index);
    void trackBarChange(Slider& slider, int position);
    void TestButtonClick();
    void DefaultsButtonClick();
    void OkButtonClick();
    void CancelButtonClick();

    std::unique_ptr<SpeechBackend> ownBackend;
    SpeechBackend* speech;
    Slider volume;
    Slider speed;
    Slider pitch;
    bool filling = false; // lists being filled by the window, not chosen by the user
};
