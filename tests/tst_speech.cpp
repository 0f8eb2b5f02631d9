#include "sound/AudioOutput.h"
#include "speech/SpeechEngine.h"
#include "support/ScriptedDialogs.h"

#include <QAudioDevice>
#include <QCollator>
#include <QLocale>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QtTest>
#include <cmath>
#include <cstring>
#include <espeak-ng/speak_lib.h>

namespace {

const char Sentence[] = "Il gatto dorme sul divano.";
const char Second[] = "Poi si sveglia.";
// Tests that look only at the sound, not at its timing, let the capture play
// faster than real time.
constexpr int Fast = 8;

const char Long[] = "C'era una volta un gatto che dormiva tutto il giorno sul divano del salotto, "
                    "e la sera usciva in giardino a guardare la luna.";

double seconds(const QByteArray& samples, int rate)
{
    return double(samples.size() / 2) / rate;
}

const qint16* sampleData(const QByteArray& samples)
{
    return reinterpret_cast<const qint16*>(samples.constData());
}

double rms(const QByteArray& samples)
{
    const qsizetype count = samples.size() / 2;
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(sampleData(samples)[i]) * sampleData(samples)[i];
    return count ? std::sqrt(sum / count) : 0.0;
}

// Seconds from the first to the last sample louder than the background.
double soundingSpan(const QByteArray& samples, int rate)
{
    const qsizetype count = samples.size() / 2;
    qsizetype first = -1;
    qsizetype last = -1;
    for (qsizetype i = 0; i < count; ++i) {
        if (std::abs(sampleData(samples)[i]) > 500) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    return first < 0 ? 0.0 : double(last - first) / rate;
}

} // namespace

class TestSpeech : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void withoutEngineEveryCallIsHarmlessAndSilent();
    void aMissingOutputLeavesSpeechUnavailableWithoutMessages();
    void italianIsTheDefaultAndLanguagesHaveReadableNames();
    void languagesAndVoicesAreSchoolMaterial();
    void speaksTheSentenceInRealTime();
    void stopTalkSilencesAtOnce();
    void destroyingWhileTalkingEndsAtOnce();
    void stopsRacingQueuedTextsLeaveNothingBehind();
    void modeOneQueuesAndModeZeroInterrupts();
    void accentedLettersArePronounced();
    void valuesAreClampedAndChangeTheSound();
    void theSoundDeviceIsUsedWhenOneExists();
    void wordMarksFollowTheSoundWordByWord();

private:
    CaptureAudioOutput* startWithCapture(int playbackSpeed = 1);
    QByteArray speakAlone(CaptureAudioOutput* capture, const char* text);
};

void TestSpeech::cleanup()
{
    VS_DestroySpeechEngine();
    installSpeechAudioOutput(nullptr);
}

CaptureAudioOutput* TestSpeech::startWithCapture(int playbackSpeed)
{
    auto output = std::make_unique<CaptureAudioOutput>();
    output->setPlaybackSpeed(playbackSpeed);
    CaptureAudioOutput* capture = output.get();
    installSpeechAudioOutput(std::move(output));
    if (!VS_CreateSpeechEngine())
        return nullptr;
    return capture;
}

// Speaks `text` with mode 1, waits until it has sounded, and returns exactly
// what reached the output.
QByteArray TestSpeech::speakAlone(CaptureAudioOutput* capture, const char* text)
{
    capture->clear();
    VS_SayText(text, 1);
    QElapsedTimer timer;
    timer.start();
    while (VS_IsTalking() && timer.elapsed() < 15000)
        QTest::qWait(10);
    return capture->captured();
}

void TestSpeech::withoutEngineEveryCallIsHarmlessAndSilent()
{
    QVERIFY(!SpeechAvailable);
    QVERIFY(!VS_IsTalking());
    VS_SayText(Sentence, 1);
    VS_SayText(Sentence, 0);
    VS_SayText(nullptr, 1);
    QVERIFY(!VS_IsTalking());
    VS_StopTalk();
    QCOMPARE(VS_GetNumLanguages(), 0);
    QCOMPARE(VS_GetNumVoices(), 0);
    QCOMPARE(QByteArray(VS_GetLanguageName(0)), QByteArray());
    QCOMPARE(QByteArray(VS_GetVoiceName(0)), QByteArray());
    VS_SelectLanguageByIndex(0);
    VS_SelectVoiceByIndex(0);
    VS_SetVolume(50);
    QCOMPARE(VS_GetVolume(), 0);
    QVERIFY(VS_GetMinSpeed() <= VS_GetMaxSpeed());
    QVERIFY(QByteArray(VS_GetTestMessage()).size() > 0);
    VS_DestroySpeechEngine(); // destroying what does not exist is harmless too
    QVERIFY(!SpeechAvailable);
}

void TestSpeech::aMissingOutputLeavesSpeechUnavailableWithoutMessages()
{
    ScriptedDialogs script;
    auto output = std::make_unique<CaptureAudioOutput>();
    output->setFailOpen(true);
    CaptureAudioOutput* capture = output.get();
    installSpeechAudioOutput(std::move(output));
    QVERIFY(!VS_CreateSpeechEngine());
    QVERIFY(!SpeechAvailable);
    QVERIFY(script.asked().isEmpty());
    Q_UNUSED(capture); // destroyed with the failed engine
    VS_SayText(Sentence, 1);
    QVERIFY(!VS_IsTalking());
    QCOMPARE(VS_GetNumLanguages(), 0);

    // A later start with a working output succeeds.
    QVERIFY(startWithCapture() != nullptr);
    QVERIFY(SpeechAvailable);
}

void TestSpeech::italianIsTheDefaultAndLanguagesHaveReadableNames()
{
    QVERIFY(startWithCapture());
    const int languages = VS_GetNumLanguages();
    QVERIFY2(languages > 20, "espeak-ng offers many languages");
    QCOMPARE(QByteArray(VS_GetLanguageName(VS_GetCurrentLanguageIndex())), QByteArray("Italiano"));
    QCOMPARE(VS_GetCurrentVoiceIndex(), 0);
    QCOMPARE(QByteArray(VS_GetVoiceName(0)), QByteArray("Italiano"));
    // The voice and its variants, no mbrola voice without its data.
    QVERIFY(VS_GetNumVoices() > 10);
    QByteArrayList names;
    for (int i = 0; i < VS_GetNumVoices(); ++i) {
        names.append(VS_GetVoiceName(i));
        QVERIFY(!names.last().isEmpty());
        QVERIFY2(!names.last().contains("mbrola") || QFileInfo::exists(QStringLiteral("/usr/share/mbrola")),
                 names.last().constData());
    }
    QVERIFY(names.contains("Italiano - Adam"));
    QCOMPARE(QSet<QByteArray>(names.cbegin(), names.cend()).size(), names.size());

    QByteArrayList languageNames;
    for (int i = 0; i < languages; ++i) {
        languageNames.append(VS_GetLanguageName(i));
        QVERIFY(!languageNames.last().contains('_'));
        QVERIFY(!languageNames.last().isEmpty());
    }
    QCOMPARE(QSet<QByteArray>(languageNames.cbegin(), languageNames.cend()).size(), languages);
    for (const char* name : {"Tedesco", "Francese (Francia)", "Spagnolo (Spagna)", "Inglese (America)",
                             "Hawaiano"})
        QVERIFY2(languageNames.contains(name), name);
    QVERIFY(!languageNames.contains("German"));

    // Another language has its own voices and starts at its first one.
    const int english = int(languageNames.indexOf("Inglese (Gran Bretagna)"));
    QVERIFY(english >= 0);
    VS_SelectVoiceByIndex(3);
    VS_SelectLanguageByIndex(english);
    QCOMPARE(VS_GetCurrentLanguageIndex(), english);
    QCOMPARE(VS_GetCurrentVoiceIndex(), 0);
    QCOMPARE(QByteArray(VS_GetVoiceName(0)), QByteArray("Inglese (Gran Bretagna)"));
    // Indexes outside the lists change nothing.
    VS_SelectLanguageByIndex(languages);
    VS_SelectLanguageByIndex(-1);
    VS_SelectVoiceByIndex(VS_GetNumVoices());
    QCOMPARE(VS_GetCurrentLanguageIndex(), english);
    QCOMPARE(VS_GetCurrentVoiceIndex(), 0);
    QCOMPARE(QByteArray(VS_GetLanguageName(languages)), QByteArray());
}

void TestSpeech::languagesAndVoicesAreSchoolMaterial()
{
    QVERIFY(startWithCapture());
    QStringList names;
    for (int i = 0; i < VS_GetNumLanguages(); ++i)
        names << QString::fromLatin1(VS_GetLanguageName(i)); // windows-1252 letters of these names
    // Every language espeak-ng speaks is offered, except the fictional ones.
    const QSet<QByteArray> fictional{"piqd", "qya", "sjn", "qdb", "py"};
    QSet<QByteArray> spoken;
    for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
        const QByteArray code = QByteArray((*v)->languages + 1).toLower();
        if (!fictional.contains(code))
            spoken.insert(code);
    }
    QCOMPARE(names.size(), spoken.size());
    // Under their Italian names, never the English ones nor a code.
    for (const char* english : {"Chinese (Cantonese)", "Japanese", "Greenlandic", "Hawaiian",
                                "Welsh", "Gaelic (Irish)", "yue", "Klingon", "Quenya", "Sindarin",
                                "Lang Belta", "Pyash"})
        QVERIFY2(!names.contains(QLatin1String(english)), english);
    for (const char* italian : {"Cinese cantonese", "Giapponese", "Groenlandese", "Gallese",
                                "Irlandese", "Norvegese (bokm\xE5l)", "Guaran\xED"})
        QVERIFY2(names.contains(QLatin1String(italian)), italian);
    // Italian first, then the others in alphabetical order.
    QCOMPARE(names.first(), QStringLiteral("Italiano"));
    QCollator order{QLocale(QLocale::Italian)};
    order.setCaseSensitivity(Qt::CaseInsensitive);
    QStringList sorted = names.mid(1);
    std::sort(sorted.begin(), sorted.end(), order);
    QCOMPARE(names.mid(1), sorted);
    QVERIFY(names.indexOf(QStringLiteral("Albanese")) < names.indexOf(QStringLiteral("Ceco")));

    // No novelty voices in any language; numbered variants speak Italian.
    QStringList voices;
    for (int i = 0; i < VS_GetNumVoices(); ++i)
        voices << QString::fromLatin1(VS_GetVoiceName(i));
    QVERIFY(voices.contains(QStringLiteral("Italiano - Maschile 1")));
    QVERIFY(voices.contains(QStringLiteral("Italiano - Nonna")));
    for (int l = 0; l < VS_GetNumLanguages(); ++l) {
        VS_SelectLanguageByIndex(l);
        for (int i = 0; i < VS_GetNumVoices(); ++i) {
            const QString voice = QString::fromLatin1(VS_GetVoiceName(i)).toLower();
            for (const char* novelty : {"robot", "robosoft", "demonic", "announcement", "whisper",
                                        "croak", "tweaky", "anxious", "fast_test", "ricishay"})
                QVERIFY2(!voice.contains(QLatin1String(novelty)), qPrintable(voice));
        }
    }
}

void TestSpeech::speaksTheSentenceInRealTime()
{
    CaptureAudioOutput* capture = startWithCapture();
    QVERIFY(capture);
    QElapsedTimer timer;
    timer.start();
    VS_SayText(Sentence, 1);
    QVERIFY(VS_IsTalking()); // from the call on, before any sound came out
    QTRY_VERIFY_WITH_TIMEOUT(!capture->captured().isEmpty(), 500);
    const qint64 firstSound = timer.elapsed();
    QTest::qWait(400);
    QVERIFY(VS_IsTalking());
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 6000);
    const qint64 talked = timer.elapsed();

    const QByteArray samples = capture->captured();
    const int rate = capture->sampleRate();
    QCOMPARE(rate, 22050);
    const double length = seconds(samples, rate);
    const double span = soundingSpan(samples, rate);
    qInfo("sound %.3f s, sounding %.3f s, RMS %.0f, first sound after %lld ms, talking %lld ms",
          length, span, rms(samples), firstSound, talked);
    QVERIFY2(span >= 1.0 && span <= 3.0, qPrintable(QString::number(span)));
    QVERIFY(rms(samples) > 1000);
    QVERIFY(firstSound < 300);
    // Talking lasts as long as the sound plays, not as long as it takes to compute.
    QVERIFY2(talked >= length * 1000 - 50, qPrintable(QString::number(talked)));
    QVERIFY2(talked <= length * 1000 + 1000, qPrintable(QString::number(talked)));
}

void TestSpeech::stopTalkSilencesAtOnce()
{
    CaptureAudioOutput* capture = startWithCapture();
    QVERIFY(capture);
    VS_SayText(Long, 1);
    QTest::qWait(500);
    QVERIFY(VS_IsTalking());
    VS_StopTalk();
    QVERIFY(!VS_IsTalking());
    QCOMPARE(capture->discards(), 1);
    const qsizetype heard = capture->captured().size();
    QVERIFY(seconds(capture->captured(), capture->sampleRate()) < 1.5);
    QTest::qWait(400);
    QCOMPARE(capture->captured().size(), heard);
    QVERIFY(!VS_IsTalking());

    // A caller that stops right after asking does stop it.
    VS_SayText(Long, 1);
    QVERIFY(VS_IsTalking());
    VS_StopTalk();
    QVERIFY(!VS_IsTalking());
    QTest::qWait(300);
    QCOMPARE(capture->captured().size(), heard);

    // Speech works again after a stop.
    capture->setPlaybackSpeed(Fast);
    QVERIFY(speakAlone(capture, Sentence).size() > 22050 * 2);
}

void TestSpeech::destroyingWhileTalkingEndsAtOnce()
{
    // Minutes of text, with more queued behind it: the engine does not wait
    // for any of it when the program ends.
    QByteArray many;
    for (int i = 0; i < 40; ++i)
        many += QByteArray(Long) + ' ';
    for (bool soundStarted : {true, false}) {
        CaptureAudioOutput* capture = startWithCapture();
        QVERIFY(capture);
        VS_SayText(many.constData(), 1);
        VS_SayText(Long, 1);
        if (soundStarted)
            QTRY_VERIFY_WITH_TIMEOUT(!capture->captured().isEmpty(), 2000);
        QElapsedTimer timer;
        timer.start();
        VS_DestroySpeechEngine(); // the capture goes with the engine
        QVERIFY2(timer.elapsed() < 1000, qPrintable(QString::number(timer.elapsed())));
        QVERIFY(!SpeechAvailable);
        QVERIFY(!VS_IsTalking());
        VS_SayText(Sentence, 1);
        QVERIFY(!VS_IsTalking());
        QTest::qWait(50); // nothing left behind fires into the freed engine
    }
}

void TestSpeech::stopsRacingQueuedTextsLeaveNothingBehind()
{
    // Requests and stops in quick succession, at every point of the worker's
    // work (queued, being synthesised, being played): after each stop nothing
    // of the stopped texts may sound, and the engine ends up speaking one
    // whole sentence as if nothing had happened.
    CaptureAudioOutput* capture = startWithCapture(Fast);
    QVERIFY(capture);
    const qsizetype alone = speakAlone(capture, Sentence).size();
    QVERIFY(alone > 22050 * 2);
    for (int round = 0; round < 60; ++round) {
        VS_SayText(Sentence, 1);
        VS_SayText(Long, 1);
        if (round % 3 == 1)
            VS_SayText(Second, 0);
        if (round % 4)
            QTest::qWait(round % 7);
        VS_StopTalk();
        QVERIFY(!VS_IsTalking());
        const qsizetype heard = capture->captured().size();
        QCoreApplication::processEvents();
        QTest::qWait(round % 5 == 0 ? 30 : 1);
        QCOMPARE(capture->captured().size(), heard);
        QVERIFY(!VS_IsTalking());
    }
    const qsizetype again = speakAlone(capture, Sentence).size();
    QVERIFY2(std::abs(again - alone) < alone / 50, qPrintable(QStringLiteral("%1 %2").arg(again).arg(alone)));
}

void TestSpeech::modeOneQueuesAndModeZeroInterrupts()
{
    // espeak-ng varies its sound slightly from one time to the next, but
    // hardly its length: lengths are compared, within a small margin.
    CaptureAudioOutput* capture = startWithCapture(Fast);
    QVERIFY(capture);
    const int rate = 22050;
    const qsizetype first = speakAlone(capture, Sentence).size();
    const qsizetype second = speakAlone(capture, Second).size();
    const qsizetype longOne = speakAlone(capture, Long).size();
    QVERIFY(first > rate && second > rate / 2 && longOne > 4 * rate);

    capture->clear();
    VS_SayText(Sentence, 1);
    VS_SayText(Second, 1);
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 10000);
    const QByteArray both = capture->captured();
    QVERIFY2(std::abs(both.size() - (first + second)) < (first + second) / 50,
             qPrintable(QStringLiteral("%1 against %2").arg(both.size()).arg(first + second)));
    // One after the other: a pause where the first sentence ends, sound after it.
    const QByteArray tail = both.mid(first + rate / 5);
    QVERIFY(soundingSpan(tail, rate) > 0.5);
    QVERIFY(soundingSpan(both.left(first - rate / 5), rate) > 1.0);

    // The interruption is timed: real time again.
    capture->setPlaybackSpeed(1);
    capture->clear();
    VS_SayText(Long, 1);
    QTest::qWait(600);
    VS_SayText(Second, 0);
    QVERIFY(VS_IsTalking());
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 10000);
    const qsizetype interrupted = capture->captured().size() - second;
    qInfo("long sentence %.2f s, of which %.2f s heard before the interruption",
          double(longOne) / 2 / rate, double(interrupted) / 2 / rate);
    QVERIFY(interrupted > rate / 5);      // some of the long sentence was heard
    QVERIFY(interrupted < longOne / 2);   // then it gave way at once
    // The new sentence was spoken whole after it.
    QVERIFY(soundingSpan(capture->captured().right(second), rate) > 0.5);
}

void TestSpeech::accentedLettersArePronounced()
{
    CaptureAudioOutput* capture = startWithCapture(Fast);
    QVERIFY(capture);
    // windows-1252, including the typographic apostrophe 0x92 (not Latin-1).
    QCOMPARE(decodeSpeechText("citt\xE0 perch\xE9 l\x92" "albero \x80"),
             QStringLiteral("citt\u00E0 perch\u00E9 l\u2019albero \u20AC"));
    QCOMPARE(decodeSpeechText(nullptr), QString());
    // Every accented vowel is spoken: the text lasts clearly longer than
    // the same text without them, and as long as with plain vowels.
    const qsizetype accented = speakAlone(capture, "citt\xE0 perch\xE9 cos\xEC gi\xE0 pi\xF9 per\xF2").size();
    const qsizetype plain = speakAlone(capture, "citta perche cosi gia piu pero").size();
    const qsizetype without = speakAlone(capture, "citt perch cos gi pi per").size();
    qInfo("accented %lld, plain %lld, without the vowels %lld bytes", qlonglong(accented),
          qlonglong(plain), qlonglong(without));
    QVERIFY(accented > without + 22050 * 2 / 10);
    QVERIFY(std::abs(accented - plain) < plain / 10);
}

void TestSpeech::valuesAreClampedAndChangeTheSound()
{
    CaptureAudioOutput* capture = startWithCapture(Fast);
    QVERIFY(capture);
    struct Quantity {
        int32_t (*minimum)();
        int32_t (*maximum)();
        int32_t (*current)();
        int32_t (*byDefault)();
        void (*set)(int32_t);
    };
    const Quantity quantities[] = {
        {VS_GetMinVolume, VS_GetMaxVolume, VS_GetVolume, VS_GetDefaultVolume, VS_SetVolume},
        {VS_GetMinSpeed, VS_GetMaxSpeed, VS_GetSpeed, VS_GetDefaultSpeed, VS_SetSpeed},
        {VS_GetMinPitch, VS_GetMaxPitch, VS_GetPitch, VS_GetDefaultPitch, VS_SetPitch},
    };
    for (const Quantity& q : quantities) {
        QVERIFY(q.minimum() < q.maximum());
        QVERIFY(q.byDefault() >= q.minimum() && q.byDefault() <= q.maximum());
        QCOMPARE(q.current(), q.byDefault());
        q.set(q.maximum() + 1000);
        QCOMPARE(q.current(), q.maximum());
        q.set(q.minimum() - 1000);
        QCOMPARE(q.current(), q.minimum());
        q.set(q.byDefault());
    }
    QCOMPARE(VS_GetMinSpeed(), 80);
    QCOMPARE(VS_GetMaxSpeed(), 450);

    const QByteArray normal = speakAlone(capture, Sentence);
    VS_SetVolume(VS_GetDefaultVolume() / 2);
    const QByteArray quiet = speakAlone(capture, Sentence);
    const double ratio = rms(quiet) / rms(normal);
    QVERIFY2(ratio > 0.35 && ratio < 0.65, qPrintable(QString::number(ratio)));
    VS_SetVolume(VS_GetDefaultVolume());

    VS_SetSpeed(VS_GetMaxSpeed());
    const QByteArray fast = speakAlone(capture, Sentence);
    QVERIFY(fast.size() < normal.size() * 2 / 3);
    VS_SetSpeed(VS_GetDefaultSpeed());

    VS_SetPitch(VS_GetMaxPitch());
    const double high = rms(speakAlone(capture, Sentence));
    VS_SetPitch(VS_GetMinPitch());
    const double low = rms(speakAlone(capture, Sentence));
    QVERIFY2(high > low * 1.3, qPrintable(QStringLiteral("%1 %2").arg(high).arg(low)));
    VS_SetPitch(VS_GetDefaultPitch());

    // Another voice sounds different; going back gives the first voice again.
    VS_SelectVoiceByIndex(1);
    const double other = rms(speakAlone(capture, Sentence)) / rms(normal);
    QVERIFY2(other < 0.85 || other > 1.15, qPrintable(QString::number(other)));
    VS_SelectVoiceByIndex(0);
    const QByteArray again = speakAlone(capture, Sentence);
    QVERIFY(std::abs(again.size() - normal.size()) < normal.size() / 50);
    const double same = rms(again) / rms(normal);
    QVERIFY2(same > 0.85 && same < 1.15, qPrintable(QString::number(same)));
}

void TestSpeech::theSoundDeviceIsUsedWhenOneExists()
{
    ScriptedDialogs script;
    const bool device = !QMediaDevices::audioOutputs().isEmpty();
    QCOMPARE(VS_CreateSpeechEngine(), device);
    QCOMPARE(SpeechAvailable, device);
    QVERIFY(script.asked().isEmpty());
    if (!device) {
        VS_SayText(Sentence, 1);
        QVERIFY(!VS_IsTalking());
        return;
    }
    QElapsedTimer timer;
    timer.start();
    VS_SayText(Sentence, 1);
    QVERIFY(VS_IsTalking());
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 10000);
    // The sentence lasts well over a second; the device plays it in real time.
    QVERIFY2(timer.elapsed() > 1200, qPrintable(QString::number(timer.elapsed())));

    // A short word after a silence is played through, and talking ends with it
    // (the sound server starts a stream only once its buffer is full enough).
    QTest::qWait(500);
    timer.restart();
    VS_SayText("S\xEC.", 1);
    QVERIFY(VS_IsTalking());
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 5000);
    qInfo("short word: talking for %lld ms", timer.elapsed());
    QVERIFY2(timer.elapsed() > 200 && timer.elapsed() < 1200, qPrintable(QString::number(timer.elapsed())));
    VS_SayText(Long, 1);
    QTest::qWait(300);
    QVERIFY(VS_IsTalking());
    VS_StopTalk();
    QVERIFY(!VS_IsTalking());
}

namespace {

struct HeardMark {
    int text;
    int start;
    int length;
    qint64 at;          // ms since the text was given
    qsizetype written;  // bytes of sound the output had taken by then
};

QList<HeardMark> heardMarks;
QElapsedTimer markClock;
CaptureAudioOutput* markOutput = nullptr;

void recordMark(void*, int32_t text, int32_t start, int32_t length)
{
    heardMarks.append({text, start, length, markClock.elapsed(),
                       markOutput ? markOutput->captured().size() : 0});
}

} // namespace

void TestSpeech::wordMarksFollowTheSoundWordByWord()
{
    CaptureAudioOutput* capture = startWithCapture();
    QVERIFY(capture);
    markOutput = capture;
    heardMarks.clear();
    VS_SetWordMarkProc(recordMark, nullptr);
    // windows-1252: accents, guillemets, a number and an apostrophe.
    const QByteArray text("Perch\xE9 il gatto \xE8 sul divano? Poi, \xAB" "dorme\xBB 12 ore, l'ultimo e dell'anno.");
    const int before = VS_GetLastTextNumber();
    markClock.start();
    VS_SayText(text.constData(), 1);
    const int number = VS_GetLastTextNumber();
    QCOMPARE(number, before + 1);
    QTRY_VERIFY_WITH_TIMEOUT(!VS_IsTalking(), 15000);
    VS_SetWordMarkProc(nullptr, nullptr);
    markOutput = nullptr;

    // Every word in order, at its place in the text as given, then the end.
    QStringList words;
    for (const HeardMark& mark : std::as_const(heardMarks)) {
        QCOMPARE(mark.text, number);
        if (mark.start >= 0)
            words << decodeSpeechText(text.constData()).mid(mark.start, mark.length);
    }
    QCOMPARE(words, QString::fromUtf8("Perché il gatto è sul divano Poi dorme 12 ore l'ultimo e dell'anno")
                        .split(QLatin1Char(' ')));
    QVERIFY(!heardMarks.isEmpty());
    QCOMPARE(heardMarks.last().start, -1);
    for (int i = 1; i < heardMarks.size(); ++i) {
        QVERIFY(heardMarks.at(i).at >= heardMarks.at(i - 1).at);
        QVERIFY(heardMarks.at(i).start > heardMarks.at(i - 1).start || heardMarks.at(i).start < 0);
    }
    // In time with the sound, not with the synthesis (which is done long
    // before): the words come one by one over the seconds the text sounds,
    // each after its own sound has started to be played.
    const double sounded = seconds(capture->captured(), capture->sampleRate());
    const qint64 spread = heardMarks.at(heardMarks.size() - 2).at - heardMarks.first().at;
    qInfo("%lld words over %lld ms of %.2f s of sound", qlonglong(words.size()), qlonglong(spread),
          sounded);
    QVERIFY2(spread > sounded * 1000 * 0.6, qPrintable(QString::number(spread)));
    QVERIFY(heardMarks.first().written > 0);
    QVERIFY(heardMarks.at(heardMarks.size() - 2).written > capture->captured().size() / 2);

    // A stop says so, once, with text 0; nothing follows it.
    heardMarks.clear();
    VS_SetWordMarkProc(recordMark, nullptr);
    VS_SayText(text.constData(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!heardMarks.isEmpty(), 5000);
    VS_StopTalk();
    const int marks = int(heardMarks.size());
    QCOMPARE(heardMarks.last().text, 0);
    QCOMPARE(heardMarks.last().start, -1);
    QTest::qWait(300);
    QCOMPARE(heardMarks.size(), marks);
    VS_StopTalk(); // nothing to stop: no mark
    QCOMPARE(heardMarks.size(), marks);
    VS_SetWordMarkProc(nullptr, nullptr);
}

QTEST_MAIN(TestSpeech)
#include "tst_speech.moc"
