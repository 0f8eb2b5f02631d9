#include "sound/AudioOutput.h"
#include "speech/SpeechEngine.h"
#include "speech/SpeechF.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Range {
    int minimum = 0;
    int maximum = 0;
    int current = 0;
    int byDefault = 0;
};

// A speech component that follows a script and records every call.
class FakeSpeech final : public SpeechBackend
{
public:
    bool isAvailable = true;
    QStringList languages{QStringLiteral("Italian"), QStringLiteral("Fran\u00E7ais")};
    QList<QStringList> voices{{QStringLiteral("Italian"), QStringLiteral("Italian - Adam")},
                              {QStringLiteral("Fran\u00E7ais"), QStringLiteral("Fran\u00E7ais - Adam"),
                               QStringLiteral("Fran\u00E7ais - B\u00E9a")}};
    // The voice the component picks itself when a language is selected.
    QList<int> voiceAfterLanguage{0, 2};
    int language = 0;
    int voice = 0;
    Range ranges[3];
    QStringList calls;
    QList<bool> hourglass; // whether the wait cursor showed at each selection

    bool available() override { return isAvailable; }
    int numLanguages() override { return int(languages.size()); }
    QString languageName(int index) override { return languages.value(index); }
    int currentLanguageIndex() override { return language; }
    void selectLanguageByIndex(int index) override
    {
        note(QStringLiteral("language %1").arg(index));
        language = index;
        voice = voiceAfterLanguage.value(index);
    }
    int numVoices() override { return int(voices.value(language).size()); }
    QString voiceName(int index) override { return voices.value(language).value(index); }
    int currentVoiceIndex() override { return voice; }
    void selectVoiceByIndex(int index) override
    {
        note(QStringLiteral("voice %1").arg(index));
        voice = index;
    }
    int minimum(Quantity q) override { return ranges[q].minimum; }
    int maximum(Quantity q) override { return ranges[q].maximum; }
    int current(Quantity q) override { return ranges[q].current; }
    int defaultValue(Quantity q) override { return ranges[q].byDefault; }
    void setValue(Quantity q, int value) override
    {
        static const char* const names[] = {"volume", "speed", "pitch"};
        calls.append(QStringLiteral("%1 %2").arg(QLatin1String(names[q])).arg(value));
        ranges[q].current = value;
    }
    QByteArray testMessage() override { return QByteArrayLiteral("Prova"); }
    void sayText(const QByteArray& text, int mode) override
    {
        calls.append(QStringLiteral("say %1 %2").arg(QString::fromLatin1(text)).arg(mode));
    }

private:
    void note(const QString& call)
    {
        calls.append(call);
        hourglass.append(QApplication::overrideCursor()
                         && QApplication::overrideCursor()->shape() == Qt::WaitCursor);
    }
};

// The expected bytes of "menu.cfg", built field by field.
QByteArray record(const QByteArray& language, const QByteArray& voice, qint32 volume, qint32 speed,
                  qint32 pitch)
{
    QByteArray bytes(524, '\0');
    bytes[0] = char(language.size());
    for (int i = 0; i < language.size(); ++i)
        bytes[1 + i] = language[i];
    bytes[256] = char(voice.size());
    for (int i = 0; i < voice.size(); ++i)
        bytes[257 + i] = voice[i];
    const qint32 values[] = {volume, speed, pitch};
    for (int field = 0; field < 3; ++field) {
        const quint32 v = quint32(values[field]);
        for (int b = 0; b < 4; ++b)
            bytes[512 + field * 4 + b] = char((v >> (8 * b)) & 0xFF);
    }
    return bytes;
}

} // namespace

class TestSpeechSetup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void opensWithItsTextsAndTheComponentsChoices();
    void slidersShowTheComponentsValues();
    void movingASliderSendsItsQuantisedValue();
    void changingTheLanguageRefillsTheVoices();
    void changingTheVoiceAppliesBothChoices();
    void testAndDefaultsButtons();
    void okWithoutStoredFileWritesWhatIsInUse();
    void okWritesWhatIsInUseAndMovedSliders();
    void storedSettingsAreAppliedFallingBackToDefaults();
    void longAndAccentedNamesAreStoredAsTheyFit();
    void cancelAndEscapeWriteNothing();
    void filesOfAnotherSizeAreIgnored();
    void aFileThatCannotBeWrittenIsReported();
    void recordLayout();
    void worksWithTheRealSpeechComponent();
    void settingsMoveOnceFromTheStartFolderAndAreInUseAtStart();

private:
    std::unique_ptr<QTemporaryDir> folder;
    QString previousFolder;
    QByteArray previousHome;
    FakeSpeech speech;
    // The settings in the user's configuration folder, and a file of the
    // folder the program was started from.
    QString cfg() const { return folder->filePath(QStringLiteral("home/.config/salienta/menu.cfg")); }
    QString startCfg() const { return folder->filePath(QStringLiteral("start/menu.cfg")); }
};

void TestSpeechSetup::init()
{
    // A home of its own, and a start folder of its own.
    folder = std::make_unique<QTemporaryDir>();
    QVERIFY(folder->isValid());
    QCoreApplication::setApplicationName(QStringLiteral("salienta"));
    previousHome = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(folder->filePath(QStringLiteral("home"))));
    qunsetenv("XDG_CONFIG_HOME");
    QVERIFY(QDir().mkpath(QFileInfo(cfg()).path()));
    QVERIFY(QDir().mkpath(QFileInfo(startCfg()).path()));
    previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(QFileInfo(startCfg()).path()));
    speech = FakeSpeech();
    speech.ranges[SpeechBackend::Volume] = {0, 100, 50, 80};
    speech.ranges[SpeechBackend::Speed] = {1, 4, 2, 3};
    speech.ranges[SpeechBackend::Pitch] = {7, 7, 7, 7};
    SpeechSettings = TSpeechSettings();
}

void TestSpeechSetup::cleanup()
{
    QDir::setCurrent(previousFolder);
    qputenv("HOME", previousHome);
    folder.reset();
    QVERIFY(!QApplication::overrideCursor());
}

void TestSpeechSetup::opensWithItsTextsAndTheComponentsChoices()
{
    speech.language = 1;
    speech.voice = 1;
    TFormSpeechSetup form(nullptr, &speech);
    QCOMPARE(form.windowTitle(), QStringLiteral("Sintesi vocale"));
    QCOMPARE(form.size(), QSize(470, 290));
    const QList<QPair<const char*, QString>> labels{
        {"LanguageLabel", QStringLiteral("Lingua")}, {"VoiceLabel", QStringLiteral("Voce")},
        {"VolumeLabel", QStringLiteral("Volume")}, {"SpeedLabel", QStringLiteral("Velocità")},
        {"PitchLabel", QStringLiteral("Tono")}};
    for (const auto& [name, text] : labels) {
        auto* label = form.findChild<QLabel*>(QLatin1String(name));
        QVERIFY2(label, name);
        QCOMPARE(label->text(), text);
    }
    const QList<QPair<const char*, QString>> buttons{
        {"TestButton", QStringLiteral("&Test")}, {"DefaultsButton", QStringLiteral("&Reimposta")},
        {"CancelButton", QStringLiteral("Annulla")}, {"OkButton", QStringLiteral("OK")}};
    for (const auto& [name, text] : buttons) {
        auto* button = form.findChild<QPushButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QCOMPARE(button->text(), text);
    }
    QVERIFY(form.OkButton->isDefault());
    for (const char* name : {"LanguageComboBox", "VoiceComboBox"}) {
        auto* combo = form.findChild<QComboBox*>(QLatin1String(name));
        QVERIFY2(combo && !combo->isEditable(), name);
    }
    for (const char* name : {"VolumeTrackBar", "SpeedTrackBar", "PitchTrackBar"}) {
        auto* slider = form.findChild<QSlider*>(QLatin1String(name));
        QVERIFY2(slider, name);
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 10000);
        QCOMPARE(slider->tickInterval(), 500);
    }
    QCOMPARE(form.LanguageComboBox->count(), 2);
    QCOMPARE(form.LanguageComboBox->itemText(1), QStringLiteral("Fran\u00E7ais"));
    QCOMPARE(form.LanguageComboBox->currentIndex(), 1);
    QCOMPARE(form.VoiceComboBox->count(), 3);
    QCOMPARE(form.VoiceComboBox->currentIndex(), 1);
    // Opening shows the component's choices without selecting anything in it.
    for (const QString& call : speech.calls)
        QVERIFY2(!call.startsWith(QLatin1String("language")) && !call.startsWith(QLatin1String("voice")),
                 qPrintable(call));
}

void TestSpeechSetup::slidersShowTheComponentsValues()
{
    TFormSpeechSetup form(nullptr, &speech);
    QCOMPARE(form.VolumeTrackBar->value(), 5000);   // 50 of 0..100
    QCOMPARE(form.PitchTrackBar->value(), 0);       // maximum equal to minimum
    // 2 of 1..4: the first position that stands for 2, so that showing the
    // value does not lower it (5000 * 3 / 10000 rounds down to 1 below 3334).
    QCOMPARE(form.SpeedTrackBar->value(), 3334);
    // The sliders that moved sent their value back unchanged; pitch did not move.
    QCOMPARE(speech.calls, (QStringList{QStringLiteral("volume 50"), QStringLiteral("speed 2")}));
    QCOMPARE(speech.ranges[SpeechBackend::Speed].current, 2);

    // Opening again does not drift.
    TFormSpeechSetup again(nullptr, &speech);
    QCOMPARE(again.SpeedTrackBar->value(), 3334);
    QCOMPARE(speech.ranges[SpeechBackend::Speed].current, 2);

    QCOMPARE(sliderPosition(175, 80, 450), 2568);
    QCOMPARE(sliderValue(2568, 80, 450), 175);
    QCOMPARE(sliderPosition(500, 80, 450), 10000);
    QCOMPARE(sliderPosition(-5, 80, 450), 0);
}

void TestSpeechSetup::movingASliderSendsItsQuantisedValue()
{
    TFormSpeechSetup form(nullptr, &speech);
    speech.calls.clear();
    form.VolumeTrackBar->setValue(5001);
    form.VolumeTrackBar->setValue(5000);
    form.SpeedTrackBar->setValue(5000);
    form.PitchTrackBar->setValue(3000);
    form.VolumeTrackBar->setValue(10000);
    form.SpeedTrackBar->setValue(0);
    form.SpeedTrackBar->setValue(9999);
    QCOMPARE(speech.calls, (QStringList{QStringLiteral("volume 50"), QStringLiteral("volume 50"),
                                        QStringLiteral("speed 2"), QStringLiteral("pitch 7"),
                                        QStringLiteral("volume 100"), QStringLiteral("speed 1"),
                                        QStringLiteral("speed 3")}));
    // The user's own moves go the same way.
    speech.calls.clear();
    form.VolumeTrackBar->setFocus();
    QTest::keyClick(form.VolumeTrackBar, Qt::Key_Home);
    QCOMPARE(speech.calls, QStringList{QStringLiteral("volume 0")});
}

void TestSpeechSetup::changingTheLanguageRefillsTheVoices()
{
    TFormSpeechSetup form(nullptr, &speech);
    speech.calls.clear();
    speech.hourglass.clear();
    speech.ranges[SpeechBackend::Volume].current = 20; // the new language's own volume
    form.LanguageComboBox->setCurrentIndex(1);
    QCOMPARE(form.VoiceComboBox->count(), 3);
    QCOMPARE(form.VoiceComboBox->itemText(2), QStringLiteral("Fran\u00E7ais - B\u00E9a"));
    QCOMPARE(form.VoiceComboBox->currentIndex(), 2); // the component's own choice
    QCOMPARE(speech.calls, (QStringList{QStringLiteral("language 1"), QStringLiteral("language 1"),
                                        QStringLiteral("voice 2"), QStringLiteral("volume 20")}));
    QCOMPARE(speech.hourglass, (QList<bool>{true, true, true}));
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(form.VolumeTrackBar->value(), 2000);
}

void TestSpeechSetup::changingTheVoiceAppliesBothChoices()
{
    TFormSpeechSetup form(nullptr, &speech);
    speech.calls.clear();
    speech.ranges[SpeechBackend::Volume].current = 100;
    form.VoiceComboBox->setCurrentIndex(1);
    QCOMPARE(speech.calls, (QStringList{QStringLiteral("language 0"), QStringLiteral("voice 1"),
                                        QStringLiteral("volume 100")}));
    QCOMPARE(speech.hourglass, (QList<bool>{true, true}));
    QCOMPARE(form.VolumeTrackBar->value(), 10000);
    QVERIFY(!QApplication::overrideCursor());
}

void TestSpeechSetup::testAndDefaultsButtons()
{
    TFormSpeechSetup form(nullptr, &speech);
    speech.calls.clear();
    QTest::mouseClick(form.TestButton, Qt::LeftButton);
    QCOMPARE(speech.calls, QStringList{QStringLiteral("say Prova 0")});

    speech.calls.clear();
    QTest::mouseClick(form.DefaultsButton, Qt::LeftButton);
    // Defaults sent in order, then the sliders show them (volume moved: sent again).
    QCOMPARE(speech.calls, (QStringList{QStringLiteral("volume 80"), QStringLiteral("speed 3"),
                                        QStringLiteral("pitch 7"), QStringLiteral("volume 80"),
                                        QStringLiteral("speed 3")}));
    QCOMPARE(form.VolumeTrackBar->value(), 8000);
    QCOMPARE(form.SpeedTrackBar->value(), 6667);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(!QFile::exists(cfg()));
}

void TestSpeechSetup::okWithoutStoredFileWritesWhatIsInUse()
{
    TFormSpeechSetup form(nullptr, &speech);
    QTest::mouseClick(form.OkButton, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    const QByteArray written = testsupport::readBytes(cfg());
    QCOMPARE(written.size(), 524);
    QCOMPARE(written, record("Italian", "Italian", 50, 2, 7));
    QCOMPARE(SpeechSettings.languageName, QByteArray("Italian"));
}

void TestSpeechSetup::okWritesWhatIsInUseAndMovedSliders()
{
    // Stored: volume 0x01020304, speed -2, pitch 7 (in "bytes after the text"
    // there is noise that is not significant).
    QByteArray stored = record("Vecchia", "Voce", 0x01020304, -2, 7);
    stored[20] = 'x';
    QVERIFY(testsupport::writeBytes(cfg(), stored));
    {
        TFormSpeechSetup form(nullptr, &speech);
        QCOMPARE(SpeechSettings.languageName, QByteArray("Vecchia"));
        QCOMPARE(SpeechSettings.speed, -2);
        form.show();
        QTest::keyClick(&form, Qt::Key_Return); // Enter presses OK
        QTRY_COMPARE(form.result(), int(QDialog::Accepted));
    }
    // The window showed, and OK stored, what the component uses: a file of
    // another program is not written back.
    QCOMPARE(testsupport::readBytes(cfg()), record("Italian", "Italian", 50, 2, 7));

    {
        TFormSpeechSetup form(nullptr, &speech);
        form.VolumeTrackBar->setValue(2500);
        form.PitchTrackBar->setValue(10000);
        form.LanguageComboBox->setCurrentIndex(1);
        QTest::mouseClick(form.OkButton, Qt::LeftButton);
    }
    // Moved sliders give their values; speed was not moved and keeps the one in use.
    const QByteArray written = testsupport::readBytes(cfg());
    QCOMPARE(written, record("Fran\xE7" "ais", "Fran\xE7" "ais - B\xE9" "a", 25, 2, 7));
    QCOMPARE(quint8(written.at(512)), quint8(25));
    QCOMPARE(quint8(written.at(256)), quint8(14));
}

void TestSpeechSetup::longAndAccentedNamesAreStoredAsTheyFit()
{
    speech.languages[0] = QString(300, QLatin1Char('L'));
    speech.voices[0][0] = QStringLiteral("Voce \u00E8 \u2019"); // "’" is 0x92 in windows-1252
    TFormSpeechSetup form(nullptr, &speech);
    QTest::mouseClick(form.OkButton, Qt::LeftButton);
    const QByteArray written = testsupport::readBytes(cfg());
    QCOMPARE(written.size(), 524);
    QCOMPARE(quint8(written.at(0)), quint8(255));
    QCOMPARE(written.mid(1, 255), QByteArray(255, 'L'));
    QCOMPARE(written.mid(256, 9), QByteArray("\x08Voce \xE8 \x92"));
    QCOMPARE(decodeSpeechSettings(written).voiceName, QByteArray("Voce \xE8 \x92"));
}

void TestSpeechSetup::cancelAndEscapeWriteNothing()
{
    const QByteArray stored = record("Italian", "Italian", 10, 20, 30);
    QVERIFY(testsupport::writeBytes(cfg(), stored));
    {
        TFormSpeechSetup form(nullptr, &speech);
        form.VolumeTrackBar->setValue(10000);
        QTest::mouseClick(form.CancelButton, Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Rejected));
    }
    QCOMPARE(speech.ranges[SpeechBackend::Volume].current, 100); // the component keeps it
    {
        TFormSpeechSetup form(nullptr, &speech);
        form.VolumeTrackBar->setValue(0);
        form.show();
        QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QVERIFY(!form.isVisible());
    }
    QCOMPARE(testsupport::readBytes(cfg()), stored);
}

void TestSpeechSetup::filesOfAnotherSizeAreIgnored()
{
    ScriptedDialogs script;
    for (int size : {523, 525, 0}) {
        QByteArray stored = record("Vecchia", "Voce", 11, 22, 33);
        stored.resize(size, '\x05');
        QVERIFY(testsupport::writeBytes(cfg(), stored));
        TFormSpeechSetup form(nullptr, &speech);
        QCOMPARE(SpeechSettings.volume, 0);
        QCOMPARE(SpeechSettings.languageName, QByteArray());
        QTest::mouseClick(form.OkButton, Qt::LeftButton);
        QCOMPARE(testsupport::readBytes(cfg()), record("Italian", "Italian", 50, 2, 7));
    }
    QVERIFY(script.asked().isEmpty());

    // A pipe of that name is not a settings file: it is not read (reading it
    // would wait for a writer that never comes), and OK replaces it.
    QVERIFY(QFile::remove(cfg()));
    QCOMPARE(::mkfifo(QFile::encodeName(cfg()).constData(), 0600), 0);
    auto reading = std::async(std::launch::async, [this] { return readSpeechSettings(cfg()); });
    if (reading.wait_for(std::chrono::seconds(3)) != std::future_status::ready) {
        // Let the reader go before failing.
        const int writer = ::open(QFile::encodeName(cfg()).constData(), O_WRONLY | O_NONBLOCK);
        reading.wait();
        if (writer >= 0)
            ::close(writer);
        QFAIL("reading menu.cfg waited on a pipe");
    }
    QCOMPARE(reading.get().languageName, QByteArray());
    {
        TFormSpeechSetup form(nullptr, &speech);
        QTest::mouseClick(form.OkButton, Qt::LeftButton);
    }
    QVERIFY(QFileInfo(cfg()).isFile());
    QCOMPARE(testsupport::readBytes(cfg()), record("Italian", "Italian", 50, 2, 7));
}

void TestSpeechSetup::aFileThatCannotBeWrittenIsReported()
{
    ScriptedDialogs script;
    QVERIFY(QDir().mkdir(cfg()));
    TFormSpeechSetup form(nullptr, &speech);
    QTest::mouseClick(form.OkButton, Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(script.messages().size(), 1);
    QVERIFY(script.messages().at(0).startsWith(
        QStringLiteral("Impossibile salvare le impostazioni della sintesi vocale")));
    QVERIFY(QFileInfo(cfg()).isDir());
}

void TestSpeechSetup::recordLayout()
{
    TSpeechSettings settings;
    settings.languageName = "Italian";
    settings.voiceName = QByteArray(300, 'v');
    settings.volume = -1;
    settings.speed = 0x7FFFFFFF;
    settings.pitch = 258;
    const QByteArray bytes = encodeSpeechSettings(settings);
    QCOMPARE(bytes, record("Italian", QByteArray(255, 'v'), -1, 0x7FFFFFFF, 258));
    const TSpeechSettings back = decodeSpeechSettings(bytes);
    QCOMPARE(back.languageName, QByteArray("Italian"));
    QCOMPARE(back.voiceName, QByteArray(255, 'v'));
    QCOMPARE(back.volume, -1);
    QCOMPARE(back.speed, 0x7FFFFFFF);
    QCOMPARE(back.pitch, 258);
    QCOMPARE(decodeSpeechSettings(bytes.left(523)).pitch, 0);
    QCOMPARE(readSpeechSettings(folder->filePath(QStringLiteral("missing.cfg"))).volume, 0);
    QCOMPARE(speechSettingsPath(), cfg());
    QCOMPARE(startFolderSpeechSettingsPath(), startCfg());
}

void TestSpeechSetup::worksWithTheRealSpeechComponent()
{
    auto output = std::make_unique<CaptureAudioOutput>();
    CaptureAudioOutput* capture = output.get();
    installSpeechAudioOutput(std::move(output));
    QVERIFY(VS_CreateSpeechEngine());
    {
        TFormSpeechSetup form;
        QCOMPARE(form.LanguageComboBox->count(), VS_GetNumLanguages());
        QCOMPARE(form.LanguageComboBox->currentText(), QStringLiteral("Italiano"));
        QCOMPARE(form.VoiceComboBox->count(), VS_GetNumVoices());
        QCOMPARE(VS_GetSpeed(), VS_GetDefaultSpeed()); // opening changed nothing
        QCOMPARE(VS_GetVolume(), VS_GetDefaultVolume());
        form.SpeedTrackBar->setValue(10000);
        QCOMPARE(VS_GetSpeed(), VS_GetMaxSpeed());
        QTest::mouseClick(form.TestButton, Qt::LeftButton);
        QVERIFY(VS_IsTalking());
        QTRY_VERIFY_WITH_TIMEOUT(!capture->captured().isEmpty(), 2000);
        form.VoiceComboBox->setCurrentIndex(1);
        QCOMPARE(VS_GetCurrentVoiceIndex(), 1);
        QTest::mouseClick(form.DefaultsButton, Qt::LeftButton);
        QCOMPARE(VS_GetSpeed(), VS_GetDefaultSpeed());
        QTest::mouseClick(form.OkButton, Qt::LeftButton);
    }
    const TSpeechSettings stored = readSpeechSettings(cfg());
    QCOMPARE(stored.languageName, QByteArray("Italiano"));
    QCOMPARE(stored.voiceName, QByteArray(VS_GetVoiceName(1)));
    QCOMPARE(stored.speed, VS_GetDefaultSpeed());
    VS_DestroySpeechEngine();
    QVERIFY(!VS_IsTalking());
}

void TestSpeechSetup::storedSettingsAreAppliedFallingBackToDefaults()
{
    // Everything still there: in effect, shown by the window, and stored
    // unchanged by OK at once.
    const QByteArray stored = record("Fran\xE7" "ais", "Fran\xE7" "ais - Adam", 90, 4, 7);
    applySpeechSettings(speech, decodeSpeechSettings(stored));
    QCOMPARE(speech.language, 1);
    QCOMPARE(speech.voice, 1);
    QCOMPARE(speech.ranges[SpeechBackend::Volume].current, 90);
    QCOMPARE(speech.ranges[SpeechBackend::Speed].current, 4);
    {
        QVERIFY(testsupport::writeBytes(cfg(), stored));
        TFormSpeechSetup form(nullptr, &speech);
        QCOMPARE(form.LanguageComboBox->currentText(), QStringLiteral("Fran\u00E7ais"));
        QCOMPARE(form.VoiceComboBox->currentText(), QStringLiteral("Fran\u00E7ais - Adam"));
        QCOMPARE(form.VolumeTrackBar->value(), 9000);
        QTest::mouseClick(form.OkButton, Qt::LeftButton);
    }
    QCOMPARE(testsupport::readBytes(cfg()), stored);

    // A language that is gone keeps the default one, where the voice is
    // still looked for; values out of range are the defaults.
    speech = FakeSpeech();
    speech.ranges[SpeechBackend::Volume] = {0, 100, 80, 80};
    speech.ranges[SpeechBackend::Speed] = {1, 4, 3, 3};
    speech.ranges[SpeechBackend::Pitch] = {0, 10, 5, 5};
    applySpeechSettings(speech, decodeSpeechSettings(record("Klingon", "Italian - Adam", 500, 0, 9)));
    QCOMPARE(speech.language, 0);
    QCOMPARE(speech.voice, 1);
    QCOMPARE(speech.calls, (QStringList{"voice 1", "volume 80", "speed 3", "pitch 9"}));
    // A voice that is gone keeps the language's own.
    speech.calls.clear();
    applySpeechSettings(speech, decodeSpeechSettings(record("Fran\xE7" "ais", "Nessuna", -1, 2, 11)));
    QCOMPARE(speech.language, 1);
    QCOMPARE(speech.voice, 2);
    QCOMPARE(speech.calls, (QStringList{"language 1", "volume 80", "speed 2", "pitch 5"}));
    // The empty record changes nothing.
    speech.calls.clear();
    applySpeechSettings(speech, TSpeechSettings());
    QVERIFY(speech.calls.isEmpty());
}

void TestSpeechSetup::settingsMoveOnceFromTheStartFolderAndAreInUseAtStart()
{
    QVERIFY(QFile::remove(cfg()) || !QFile::exists(cfg()));
    const QByteArray earlier = record("Tedesco", "Tedesco", 150, 200, 30);
    QVERIFY(testsupport::writeBytes(startCfg(), earlier));
    auto start = []() {
        installSpeechAudioOutput(std::make_unique<CaptureAudioOutput>());
        return startSpeech();
    };
    QVERIFY(start());
    QCOMPARE(QByteArray(VS_GetLanguageName(VS_GetCurrentLanguageIndex())), QByteArray("Tedesco"));
    QCOMPARE(QByteArray(VS_GetVoiceName(VS_GetCurrentVoiceIndex())), QByteArray("Tedesco"));
    QCOMPARE(VS_GetVolume(), 150);
    QCOMPARE(VS_GetSpeed(), 200);
    QCOMPARE(VS_GetPitch(), 30);
    // Saved in the configuration folder; the start folder's file is left alone.
    QCOMPARE(testsupport::readBytes(cfg()), earlier);
    QCOMPARE(testsupport::readBytes(startCfg()), earlier);
    VS_DestroySpeechEngine();

    // From now on the configuration folder is what counts.
    QVERIFY(testsupport::writeBytes(startCfg(), record("Inglese (America)", "Inglese (America)", 20, 90, 10)));
    QVERIFY(start());
    QCOMPARE(QByteArray(VS_GetLanguageName(VS_GetCurrentLanguageIndex())), QByteArray("Tedesco"));
    QCOMPARE(VS_GetVolume(), 150);
    {
        // The set-up window shows what is in use; OK at once stores it unchanged.
        TFormSpeechSetup form;
        QCOMPARE(form.LanguageComboBox->currentText(), QStringLiteral("Tedesco"));
        QCOMPARE(form.VoiceComboBox->currentText(), QStringLiteral("Tedesco"));
        QTest::mouseClick(form.OkButton, Qt::LeftButton);
    }
    QCOMPARE(testsupport::readBytes(cfg()), earlier);
    VS_DestroySpeechEngine();
}

QTEST_MAIN(TestSpeechSetup)
#include "tst_speechsetup.moc"
