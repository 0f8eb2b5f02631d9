#include "speech/SpeechEngine.h"

#include "model/Funzioni.h"
#include "model/OnDemandLibrary.h"

#include "sound/SoundModule.h"
#include "sound/AudioOutput.h"

#include <espeak-ng/espeak_ng.h>
#include <espeak-ng/speak_lib.h>

#include <QByteArray>
#include <QCollator>
#include <QFileInfo>
#include <QList>
#include <QLocale>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

bool SpeechAvailable = false;

namespace {

// espeak-ng's own ranges: volume 0-200 (100 normal; above 200 it distorts),
// speed in words per minute, pitch 0-100 (50 normal).
constexpr int32_t MinVolume = 0;
constexpr int32_t MaxVolume = 200;
constexpr int32_t MinSpeed = espeakRATE_MINIMUM;
constexpr int32_t MaxSpeed = espeakRATE_MAXIMUM;
constexpr int32_t MinPitch = 0;
constexpr int32_t MaxPitch = 100;

// How often the user-interface thread moves synthesised sound to the output.
constexpr int PumpIntervalMs = 10;
// Length of the sound blocks espeak-ng hands over, in milliseconds.
constexpr int SynthBlockMs = 50;
// How far synthesis may run ahead of the sound heard: a long text (a whole
// book read aloud) is synthesised as it is heard, not into memory at once.
constexpr int SynthAheadMs = 4000;
// How much of it the user-interface thread takes over at a time.
constexpr int PlayingAheadMs = 500;

// windows-1252: "Questa è una prova della sintesi vocale."
const char TestMessage[] = "Questa \xE8 una prova della sintesi vocale.";
const char EmptyString[] = "";

struct Voice {
    QByteArray name; // shown to the user, windows-1252
    QByteArray spec; // what espeak_SetVoiceByName takes: file name [+ variant]
};

struct Language {
    QByteArray name; // shown to the user, windows-1252
    QByteArray code; // espeak-ng's language code
    QList<Voice> voices;
    QString espeakName; // the name espeak-ng gives the language's own voice
};

// The languages offered, by espeak-ng's code, under their Italian names.
// Languages missing here are not offered: the fictional ones espeak-ng
// carries (Klingon "piqd", Quenya "qya", Sindarin "sjn", Belter "qdb", Pyash
// "py") on purpose, and any language a later espeak-ng adds, until it is
// given its Italian name here.
struct ItalianName {
    const char* code;
    const char* name; // UTF-8
};
const ItalianName italianNames[] = {
    {"af", "Afrikaans"},
    {"am", "Amarico"},
    {"an", "Aragonese"},
    {"ar", "Arabo"},
    {"as", "Assamese"},
    {"az", "Azero"},
    {"ba", "Baschiro"},
    {"be", "Bielorusso"},
    {"bg", "Bulgaro"},
    {"bn", "Bengalese"},
    {"bpy", "Bishnupriya manipuri"},
    {"bs", "Bosniaco"},
    {"ca", "Catalano"},
    {"chr-us-qaaa-x-west", "Cherokee"},
    {"cmn", "Cinese mandarino"},
    {"cmn-latn-pinyin", "Cinese mandarino (pinyin)"},
    {"cs", "Ceco"},
    {"cv", "Ciuvascio"},
    {"cy", "Gallese"},
    {"da", "Danese"},
    {"de", "Tedesco"},
    {"el", "Greco"},
    {"en-029", "Inglese (Caraibi)"},
    {"en-gb", "Inglese (Gran Bretagna)"},
    {"en-gb-scotland", "Inglese (Scozia)"},
    {"en-gb-x-gbclan", "Inglese (Lancaster)"},
    {"en-gb-x-gbcwmd", "Inglese (Midlands occidentali)"},
    {"en-gb-x-rp", "Inglese (pronuncia standard)"},
    {"en-us", "Inglese (America)"},
    {"en-us-nyc", "Inglese (America, New York)"},
    {"eo", "Esperanto"},
    {"es", "Spagnolo (Spagna)"},
    {"es-419", "Spagnolo (America Latina)"},
    {"et", "Estone"},
    {"eu", "Basco"},
    {"fa", "Persiano"},
    {"fa-latn", "Persiano (alfabeto latino)"},
    {"fi", "Finlandese"},
    {"fr-be", "Francese (Belgio)"},
    {"fr-ch", "Francese (Svizzera)"},
    {"fr-fr", "Francese (Francia)"},
    {"ga", "Irlandese"},
    {"gd", "Gaelico scozzese"},
    {"gn", "Guaraní"},
    {"grc", "Greco antico"},
    {"gu", "Gujarati"},
    {"hak", "Cinese hakka"},
    {"haw", "Hawaiano"},
    {"he", "Ebraico"},
    {"hi", "Hindi"},
    {"hr", "Croato"},
    {"ht", "Creolo haitiano"},
    {"hu", "Ungherese"},
    {"hy", "Armeno orientale"},
    {"hyw", "Armeno occidentale"},
    {"ia", "Interlingua"},
    {"id", "Indonesiano"},
    {"io", "Ido"},
    {"is", "Islandese"},
    {"it", "Italiano"},
    {"ja", "Giapponese"},
    {"jbo", "Lojban"},
    {"ka", "Georgiano"},
    {"kk", "Kazako"},
    {"kl", "Groenlandese"},
    {"kn", "Kannada"},
    {"ko", "Coreano"},
    {"kok", "Konkani"},
    {"ku", "Curdo"},
    {"ky", "Kirghiso"},
    {"la", "Latino"},
    {"lb", "Lussemburghese"},
    {"lfn", "Lingua franca nova"},
    {"lt", "Lituano"},
    {"ltg", "Latgallico"},
    {"lv", "Lettone"},
    {"mi", "Maori"},
    {"mk", "Macedone"},
    {"ml", "Malayalam"},
    {"mr", "Marathi"},
    {"ms", "Malese"},
    {"mt", "Maltese"},
    {"my", "Birmano"},
    {"nb", "Norvegese (bokmål)"},
    {"nci", "Nahuatl classico"},
    {"ne", "Nepalese"},
    {"nl", "Olandese"},
    {"nog", "Nogai"},
    {"om", "Oromo"},
    {"or", "Oriya"},
    {"pa", "Punjabi"},
    {"pap", "Papiamento"},
    {"pl", "Polacco"},
    {"pt", "Portoghese (Portogallo)"},
    {"pt-br", "Portoghese (Brasile)"},
    {"qu", "Quechua"},
    {"quc", "K'iche'"},
    {"ro", "Rumeno"},
    {"ru", "Russo"},
    {"ru-lv", "Russo (Lettonia)"},
    {"sd", "Sindhi"},
    {"shn", "Shan"},
    {"si", "Singalese"},
    {"sk", "Slovacco"},
    {"sl", "Sloveno"},
    {"smj", "Sami di Lule"},
    {"sq", "Albanese"},
    {"sr", "Serbo"},
    {"sv", "Svedese"},
    {"sw", "Swahili"},
    {"ta", "Tamil"},
    {"te", "Telugu"},
    {"th", "Thailandese"},
    {"tk", "Turkmeno"},
    {"tn", "Tswana"},
    {"tr", "Turco"},
    {"tt", "Tataro"},
    {"ug", "Uiguro"},
    {"uk", "Ucraino"},
    {"ur", "Urdu"},
    {"uz", "Uzbeco"},
    {"vi", "Vietnamita (settentrionale)"},
    {"vi-vn-x-central", "Vietnamita (centrale)"},
    {"vi-vn-x-south", "Vietnamita (meridionale)"},
    {"yue", "Cinese cantonese"},
};

QString italianLanguageName(const QByteArray& code)
{
    for (const ItalianName& entry : italianNames) {
        if (qstricmp(code.constData(), entry.code) == 0)
            return QString::fromUtf8(entry.name);
    }
    return {};
}

// Voice variants that are effects rather than voices (robots, a demon, an
// announcement system, whispering, croaking, echoes, a test variant), by
// their file names: not offered.
bool noveltyVariant(const QByteArray& file)
{
    static const char* const novelties[] = {
        "announcer", "anikarobot", "anxiousandy", "croak", "demonic", "fast", "kaukovalta",
        "mr serious", "tweaky", "unirobot", "whisper", "whisperf",
    };
    const QByteArray name = file.toLower();
    if (name.startsWith("robosoft") || name.startsWith("ricishaymax"))
        return true;
    return std::any_of(std::begin(novelties), std::end(novelties),
                       [&name](const char* novelty) { return name == novelty; });
}

// Italian names of the variants named after what they are; the others carry
// a person's name and keep it.
QString variantName(const QString& name)
{
    static const QRegularExpression numbered(QStringLiteral("^(male|female)(\\d+)$"));
    const QRegularExpressionMatch match = numbered.match(name);
    if (match.hasMatch()) {
        return (match.captured(1) == QLatin1String("male") ? QStringLiteral("Maschile ")
                                                           : QStringLiteral("Femminile "))
               + match.captured(2);
    }
    if (name == QLatin1String("grandma"))
        return QStringLiteral("Nonna");
    if (name == QLatin1String("grandpa"))
        return QStringLiteral("Nonno");
    if (name == QLatin1String("Auntie"))
        return QStringLiteral("Zia");
    return name;
}

struct Job {
    quint64 generation = 0;
    int32_t number = 0;     // the text's number, for its word marks
    QString text;           // as given, decoded
    QByteArray utf8;
    QByteArray voiceSpec;
    int speed = 0;
    int volume = 0;
    int pitch = 0;
};

// A word reached by the sound (start -1: the end of the text). `sample`
// counts the samples of its text before it.
struct WordMark {
    qint64 sample = 0;
    int32_t text = 0;
    int32_t start = -1;
    int32_t length = 0;
};

// Sound of one text, with the word marks that fall in it (or just before).
struct Chunk {
    int sampleRate = 0;
    QByteArray bytes;
    qint64 firstSample = 0; // samples of its text before this chunk
    QVector<WordMark> marks;
    bool marksQueued = false;
};

// A word mark placed in the output stream: it is due when the sound heard
// has reached `streamSample`.
struct DueMark {
    qint64 streamSample = 0;
    WordMark mark;
};

// The length of the word at `start` when the engine gives none: up to the
// next space, without the punctuation that closes it.
int32_t wordLengthAt(const QString& text, int start)
{
    int end = start;
    while (end < text.size() && !text.at(end).isSpace())
        ++end;
    while (end > start + 1 && !text.at(end - 1).isLetterOrNumber())
        --end;
    return end - start;
}

bool isApostrophe(QChar c)
{
    return c == QLatin1Char('\'') || c == QChar(0x2019);
}

VS_WordMarkProc wordMarkProc = nullptr;
void* wordMarkContext = nullptr;

QByteArray toCp1252(const QString& text, const QByteArray& fallback)
{
    return fitsCp1252(text) ? encodeCp1252(text) : fallback;
}

QString readableName(const char* espeakName)
{
    return QString::fromUtf8(espeakName).replace(QLatin1Char('_'), QLatin1Char(' ')).trimmed();
}

// An mbrola voice speaks only when the mbrola program and the voice's
// database are installed.
bool mbrolaVoiceInstalled(const QByteArray& identifier)
{
    if (QStandardPaths::findExecutable(QStringLiteral("mbrola")).isEmpty())
        return false;
    QString database = QString::fromLatin1(identifier.mid(identifier.lastIndexOf('/') + 1));
    if (database.startsWith(QLatin1String("mb-")))
        database = database.mid(3);
    const QString base = QStringLiteral("/usr/share/mbrola/");
    for (const QString& candidate : {base + database + QLatin1Char('/') + database,
                                     base + database, base + QStringLiteral("voices/") + database}) {
        if (QFileInfo(candidate).isFile())
            return true;
    }
    return false;
}

// The functions of espeak-ng the engine calls; the library is opened when the
// engine is first created, after the main window is on screen.
struct Espeak {
    decltype(&espeak_Initialize) Initialize = nullptr;
    decltype(&espeak_ListVoices) ListVoices = nullptr;
    decltype(&espeak_SetVoiceByName) SetVoiceByName = nullptr;
    decltype(&espeak_ng_GetSampleRate) GetSampleRate = nullptr;
    decltype(&espeak_GetParameter) GetParameter = nullptr;
    decltype(&espeak_SetParameter) SetParameter = nullptr;
    decltype(&espeak_SetSynthCallback) SetSynthCallback = nullptr;
    decltype(&espeak_Synth) Synth = nullptr;
};
Espeak espeakLib;

// Opens espeak-ng once; false when it is missing or lacks a function.
bool loadEspeak()
{
    static OnDemandLibrary library("espeak-ng", 1);
    static const bool loaded = [] {
        if (!library.load())
            return false;
        bool all = true;
        all &= library.resolve(espeakLib.Initialize, "espeak_Initialize");
        all &= library.resolve(espeakLib.ListVoices, "espeak_ListVoices");
        all &= library.resolve(espeakLib.SetVoiceByName, "espeak_SetVoiceByName");
        all &= library.resolve(espeakLib.GetSampleRate, "espeak_ng_GetSampleRate");
        all &= library.resolve(espeakLib.GetParameter, "espeak_GetParameter");
        all &= library.resolve(espeakLib.SetParameter, "espeak_SetParameter");
        all &= library.resolve(espeakLib.SetSynthCallback, "espeak_SetSynthCallback");
        all &= library.resolve(espeakLib.Synth, "espeak_Synth");
        return all;
    }();
    return loaded;
}

const char* firstLanguage(const espeak_VOICE* voice)
{
    return (voice->languages && voice->languages[0] != 0) ? voice->languages + 1 : "";
}

QList<Language> listLanguages()
{
    struct Variant {
        QString name;
        QByteArray file;
    };
    QList<Variant> variants;
    espeak_VOICE variantSpec{};
    variantSpec.languages = "variant";
    if (const espeak_VOICE** list = espeakLib.ListVoices(&variantSpec)) {
        for (int i = 0; list[i]; ++i) {
            const QByteArray identifier(list[i]->identifier ? list[i]->identifier : "");
            const QByteArray file = identifier.mid(identifier.lastIndexOf('/') + 1);
            if (!file.isEmpty() && !noveltyVariant(file))
                variants.append({variantName(readableName(list[i]->name)), file});
        }
    }

    QCollator order{QLocale(QLocale::Italian, QLocale::Italy)};
    order.setCaseSensitivity(Qt::CaseInsensitive);
    order.setNumericMode(true);
    std::sort(variants.begin(), variants.end(),
              [&order](const Variant& a, const Variant& b) { return order.compare(a.name, b.name) < 0; });

    QList<Language> languages;
    auto addVoice = [&languages](const espeak_VOICE* voice, const QList<Variant>& voiceVariants) {
        const QByteArray code(firstLanguage(voice));
        const QByteArray identifier(voice->identifier ? voice->identifier : "");
        if (code.isEmpty() || identifier.isEmpty())
            return;
        auto it = std::find_if(languages.begin(), languages.end(),
                               [&code](const Language& l) { return l.code == code; });
        QString voiceName = readableName(voice->name);
        if (it == languages.end()) {
            const QString italian = italianLanguageName(code);
            if (italian.isEmpty())
                return;
            languages.append({toCp1252(italian, code), code, {}, voiceName});
            it = languages.end() - 1;
        }
        // The language's own voice carries the language's name.
        if (voiceName == it->espeakName)
            voiceName = decodeCp1252(it->name);
        it->voices.append({toCp1252(voiceName, identifier), identifier});
        for (const Variant& variant : voiceVariants) {
            it->voices.append({toCp1252(voiceName + QStringLiteral(" - ") + variant.name,
                                        identifier + '+' + variant.file),
                               identifier + '+' + variant.file});
        }
    };
    // Without a selection espeak-ng lists its own voices, without variants
    // and without mbrola voices.
    if (const espeak_VOICE** list = espeakLib.ListVoices(nullptr)) {
        for (int i = 0; list[i]; ++i)
            addVoice(list[i], variants);
    }
    espeak_VOICE mbrolaSpec{};
    mbrolaSpec.languages = "mb";
    if (const espeak_VOICE** list = espeakLib.ListVoices(&mbrolaSpec)) {
        for (int i = 0; list[i]; ++i) {
            const QByteArray identifier(list[i]->identifier ? list[i]->identifier : "");
            if (!identifier.startsWith("mb/") || !mbrolaVoiceInstalled(identifier))
                continue;
            // Only for languages espeak-ng itself speaks; mbrola voices take no variants.
            const QByteArray code(firstLanguage(list[i]));
            if (std::any_of(languages.cbegin(), languages.cend(),
                            [&code](const Language& l) { return l.code == code; }))
                addVoice(list[i], {});
        }
    }
    // Italian first, the others in the alphabetical order of their names.
    order.setNumericMode(false);
    std::sort(languages.begin(), languages.end(), [&order](const Language& a, const Language& b) {
        if ((a.code == "it") != (b.code == "it"))
            return a.code == "it";
        return order.compare(decodeCp1252(a.name), decodeCp1252(b.name)) < 0;
    });
    return languages;
}

class Engine;
// The one engine; espeak-ng's synthesis callback reaches it through here.
Engine* activeEngine = nullptr;
// The output the next engine plays through, when one was installed.
std::unique_ptr<AudioOutput> installedOutput;

int synthCallback(short* wav, int samples, espeak_EVENT* events);

class Engine
{
public:
    static std::unique_ptr<Engine> create(std::unique_ptr<AudioOutput> output);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    bool isTalking();
    void stop();
    void say(const char* text, int32_t mode);

    const QList<Language>& languageList() const { return languages; }
    int currentLanguage() const { return languageIndex; }
    void selectLanguage(int index);
    const QList<Voice>& voiceList() const;
    int currentVoice() const { return voiceIndex; }
    void selectVoice(int index);

    int volume = 0;
    int speed = 0;
    int pitch = 0;
    int defaultVolume = 0;
    int defaultSpeed = 0;
    int defaultPitch = 0;
    int32_t lastTextNumber = 0;

    int onSamples(const short* wav, int samples, const espeak_EVENT* events);

private:
    Engine() = default;
    void workerLoop();
    void synthesize(const Job& job);
    void pump();
    void queueMarks(Chunk& chunk);
    void fireDueMarks(bool all);
    qint64 heardSamples();

    QList<Language> languages;
    int languageIndex = -1;
    int voiceIndex = -1;

    // User-interface thread only.
    std::unique_ptr<AudioOutput> output;
    std::unique_ptr<QTimer> pumpTimer;
    std::deque<Chunk> playing; // taken from the worker, not yet written to the output
    qint64 playingBytes = 0;
    std::deque<DueMark> dueMarks; // in stream order
    qint64 streamSamples = 0;     // written to the output since it was opened
    bool textsPending = false;    // something was asked to be spoken since the last stop

    // Shared with the worker, under `mutex`.
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable room; // the worker waits on it while far enough ahead
    std::deque<Job> jobs;
    std::deque<Chunk> produced;
    qint64 producedBytes = 0;
    quint64 generation = 0;     // raised by every stop; older work is dropped
    quint64 busyGeneration = 0; // generation of the text the worker is synthesising
    bool busy = false;
    bool quit = false;

    // Worker thread only (and creation, before the worker starts).
    QByteArray appliedVoice;
    int workerRate = 0;
    quint64 workerGeneration = 0;
    const Job* workerJob = nullptr;
    qint64 workerSamples = 0; // samples of the current text so far
    int workerWordEnd = 0;    // where the last word marked in the current text ends

    std::thread worker;
};

// espeak-ng hands its samples back through the callback instead of playing
// them, in the synchronous form of that mode: synthesis runs on the engine's
// own worker thread, the only thread that calls espeak-ng once the engine
// exists (the library is not thread-safe, and its asynchronous form would
// add a thread of its own that voice and parameter changes bypass).
// It is set up once for the whole process and left set up: this version
// hangs when it is shut down a second time after being set up again.
int espeakSampleRate()
{
    if (!loadEspeak())
        return 0;
    static const int rate = espeakLib.Initialize(AUDIO_OUTPUT_SYNCHRONOUS, SynthBlockMs, nullptr,
                                                 espeakINITIALIZE_DONT_EXIT);
    return rate;
}

std::unique_ptr<Engine> Engine::create(std::unique_ptr<AudioOutput> output)
{
    if (espeakSampleRate() <= 0)
        return nullptr;
    std::unique_ptr<Engine> engine(new Engine);
    engine->languages = listLanguages();
    if (engine->languages.isEmpty())
        return nullptr;
    // Italian first; English or the first language where Italian is missing.
    for (const char* wanted : {"it", "en", "en-us"}) {
        for (int i = 0; i < engine->languages.size() && engine->languageIndex < 0; ++i) {
            if (engine->languages.at(i).code == wanted)
                engine->languageIndex = i;
        }
    }
    if (engine->languageIndex < 0)
        engine->languageIndex = 0;
    engine->voiceIndex = 0;
    const QByteArray spec = engine->voiceList().at(0).spec;
    if (espeakLib.SetVoiceByName(spec.constData()) != EE_OK)
        return nullptr;
    engine->appliedVoice = spec;
    engine->workerRate = espeakLib.GetSampleRate();

    engine->defaultVolume = std::clamp(espeakLib.GetParameter(espeakVOLUME, 0), MinVolume, MaxVolume);
    engine->defaultSpeed = std::clamp(espeakLib.GetParameter(espeakRATE, 0), MinSpeed, MaxSpeed);
    engine->defaultPitch = std::clamp(espeakLib.GetParameter(espeakPITCH, 0), MinPitch, MaxPitch);
    engine->volume = engine->defaultVolume;
    engine->speed = engine->defaultSpeed;
    engine->pitch = engine->defaultPitch;

    if (!output)
        output = makeDeviceAudioOutput();
    if (!output || !output->open(engine->workerRate))
        return nullptr;
    engine->output = std::move(output);
    engine->pumpTimer = std::make_unique<QTimer>();
    engine->pumpTimer->setInterval(PumpIntervalMs);
    Engine* self = engine.get();
    QObject::connect(engine->pumpTimer.get(), &QTimer::timeout, engine->pumpTimer.get(),
                     [self] { self->pump(); });

    espeakLib.SetSynthCallback(synthCallback);
    activeEngine = self;
    engine->worker = std::thread([self] { self->workerLoop(); });
    return engine;
}

Engine::~Engine()
{
    stop();
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = true;
    }
    wake.notify_all();
    room.notify_all();
    if (worker.joinable())
        worker.join();
    activeEngine = nullptr;
    pumpTimer.reset();
    output.reset();
}

const QList<Voice>& Engine::voiceList() const
{
    return languages.at(languageIndex).voices;
}

void Engine::selectLanguage(int index)
{
    if (index < 0 || index >= languages.size())
        return;
    languageIndex = index;
    voiceIndex = 0;
}

void Engine::selectVoice(int index)
{
    if (index >= 0 && index < voiceList().size())
        voiceIndex = index;
}

bool Engine::isTalking()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!jobs.empty() || !produced.empty() || (busy && busyGeneration == generation))
            return true;
    }
    return !playing.empty() || !dueMarks.empty() || output->pendingUSecs() > 0;
}

void Engine::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        ++generation;
        jobs.clear();
        produced.clear();
        producedBytes = 0;
    }
    room.notify_all();
    playing.clear();
    playingBytes = 0;
    dueMarks.clear();
    if (output && output->pendingUSecs() > 0)
        output->discard();
    if (textsPending) {
        textsPending = false;
        if (wordMarkProc)
            wordMarkProc(wordMarkContext, 0, -1, 0);
    }
}

void Engine::say(const char* text, int32_t mode)
{
    if (!text)
        return;
    if (mode == 0)
        stop();
    Job job;
    job.number = ++lastTextNumber;
    job.text = decodeSpeechText(text);
    job.utf8 = job.text.toUtf8();
    job.voiceSpec = voiceList().at(voiceIndex).spec;
    job.speed = speed;
    job.volume = volume;
    job.pitch = pitch;
    {
        std::lock_guard<std::mutex> lock(mutex);
        job.generation = generation;
        jobs.push_back(std::move(job));
    }
    textsPending = true;
    wake.notify_one();
    if (!pumpTimer->isActive())
        pumpTimer->start();
}

qint64 Engine::heardSamples()
{
    const qint64 pending = output->pendingUSecs() * output->sampleRate() / 1000000;
    return std::max<qint64>(0, streamSamples - pending);
}

// The chunk's word marks go into the stream where its first sample will be.
void Engine::queueMarks(Chunk& chunk)
{
    if (chunk.marksQueued)
        return;
    chunk.marksQueued = true;
    for (const WordMark& mark : std::as_const(chunk.marks)) {
        const qint64 at = streamSamples + std::max<qint64>(0, mark.sample - chunk.firstSample);
        dueMarks.push_back({at, mark});
    }
}

// Tells the word-mark procedure of every mark the sound has reached (all of
// them when nothing more will sound). The procedure may stop the speech.
void Engine::fireDueMarks(bool all)
{
    while (!dueMarks.empty()) {
        if (!all && dueMarks.front().streamSample > heardSamples())
            break;
        const WordMark mark = dueMarks.front().mark;
        dueMarks.pop_front();
        if (wordMarkProc)
            wordMarkProc(wordMarkContext, mark.text, mark.start, mark.length);
    }
}

void Engine::pump()
{
    fireDueMarks(false);
    const qint64 playingLimit = qint64(output->sampleRate() > 0 ? output->sampleRate() : workerRate)
                                * 2 * PlayingAheadMs / 1000;
    bool tookSome = false;
    {
        std::lock_guard<std::mutex> lock(mutex);
        while (!produced.empty() && playingBytes < playingLimit) {
            producedBytes -= produced.front().bytes.size();
            playingBytes += produced.front().bytes.size();
            playing.push_back(std::move(produced.front()));
            produced.pop_front();
            tookSome = true;
        }
    }
    if (tookSome)
        room.notify_all();
    while (!playing.empty()) {
        Chunk& chunk = playing.front();
        if (chunk.sampleRate != output->sampleRate()) {
            // Another voice speaks at another rate: reopen once the sound
            // of the previous one has been heard.
            if (output->pendingUSecs() > 0)
                break;
            if (!dueMarks.empty()) {
                // The procedure may stop the speech: look again afterwards.
                fireDueMarks(true);
                continue;
            }
            if (!output->open(chunk.sampleRate)) {
                playing.clear();
                playingBytes = 0;
                break;
            }
            streamSamples = 0;
        }
        queueMarks(chunk);
        if (chunk.bytes.isEmpty()) {
            playing.pop_front();
            continue;
        }
        const qint64 free = output->bytesFree() & ~qint64(1);
        if (free <= 0)
            break;
        const qint64 taken = output->write(chunk.bytes.constData(),
                                           std::min<qint64>(free, chunk.bytes.size()));
        if (taken < 0) {
            // The device went away: the rest is dropped rather than waited for.
            playing.clear();
            playingBytes = 0;
            break;
        }
        if (taken == 0)
            break;
        streamSamples += taken / 2;
        playingBytes -= taken;
        chunk.bytes.remove(0, taken);
        if (chunk.bytes.isEmpty())
            playing.pop_front();
    }
    bool synthesising;
    {
        std::lock_guard<std::mutex> lock(mutex);
        synthesising = !jobs.empty() || !produced.empty() || busy;
    }
    if (!synthesising && playing.empty()) {
        output->finish();
        // Nothing more will sound: the marks left (the ends of the texts)
        // are due. Their procedure may ask for more speech.
        if (output->pendingUSecs() <= 0)
            fireDueMarks(true);
    }
    if (!isTalking()) {
        textsPending = false;
        pumpTimer->stop();
    }
}

void Engine::workerLoop()
{
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex);
            wake.wait(lock, [this] { return quit || !jobs.empty(); });
            if (quit)
                return;
            job = std::move(jobs.front());
            jobs.pop_front();
            busy = true;
            busyGeneration = job.generation;
            workerGeneration = job.generation;
        }
        synthesize(job);
        std::lock_guard<std::mutex> lock(mutex);
        busy = false;
    }
}

void Engine::synthesize(const Job& job)
{
    if (job.voiceSpec != appliedVoice && espeakLib.SetVoiceByName(job.voiceSpec.constData()) == EE_OK) {
        appliedVoice = job.voiceSpec;
        workerRate = espeakLib.GetSampleRate();
    }
    espeakLib.SetParameter(espeakRATE, job.speed, 0);
    espeakLib.SetParameter(espeakVOLUME, job.volume, 0);
    espeakLib.SetParameter(espeakPITCH, job.pitch, 0);
    workerJob = &job;
    workerSamples = 0;
    workerWordEnd = 0;
    espeakLib.Synth(job.utf8.constData(), size_t(job.utf8.size()) + 1, 0, POS_CHARACTER, 0,
                 espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, nullptr);
    workerJob = nullptr;
    // The end of the text, once its last sample has been heard.
    std::lock_guard<std::mutex> lock(mutex);
    if (!quit && workerGeneration == generation) {
        Chunk end;
        end.sampleRate = workerRate;
        end.firstSample = workerSamples;
        end.marks.append({workerSamples, job.number, -1, 0});
        produced.push_back(std::move(end));
    }
}

int Engine::onSamples(const short* wav, int samples, const espeak_EVENT* events)
{
    std::unique_lock<std::mutex> lock(mutex);
    const qint64 aheadLimit = qint64(workerRate) * 2 * SynthAheadMs / 1000;
    room.wait(lock, [this, aheadLimit] {
        return quit || workerGeneration != generation || producedBytes < aheadLimit;
    });
    if (quit || workerGeneration != generation)
        return 1; // stopped: abandon this text
    Chunk chunk;
    chunk.sampleRate = workerRate;
    chunk.firstSample = workerSamples;
    for (const espeak_EVENT* event = events;
         event && event->type != espeakEVENT_LIST_TERMINATED; ++event) {
        // Word positions count characters from 1; the last word event of a
        // text carries none.
        if (event->type != espeakEVENT_WORD || event->text_position <= 0 || !workerJob)
            continue;
        int start = event->text_position - 1;
        const QString& text = workerJob->text;
        // A position that goes back (espeak-ng gives one for some short
        // words, "è" after another word) stands for the next word after
        // the last one marked.
        const bool wentBack = start < workerWordEnd;
        if (wentBack) {
            start = workerWordEnd;
            while (start < text.size() && !text.at(start).isLetterOrNumber())
                ++start;
        }
        if (start >= text.size())
            continue;
        int length = event->length > 0 && !wentBack
                         ? std::min<int>(event->length, int(workerJob->text.size()) - start)
                         : wordLengthAt(workerJob->text, start);
        // An elided word is spoken with the next one ("l'ultimo") but
        // reported only up to its apostrophe.
        if (start + length < workerJob->text.size()
            && isApostrophe(workerJob->text.at(start + length)))
            length = wordLengthAt(workerJob->text, start);
        workerWordEnd = start + length;
        chunk.marks.append({qint64(event->sample), workerJob->number, start, length});
    }
    if (wav && samples > 0) {
        chunk.bytes = QByteArray(reinterpret_cast<const char*>(wav), qsizetype(samples) * 2);
        workerSamples += samples;
    }
    if (!chunk.bytes.isEmpty() || !chunk.marks.isEmpty()) {
        producedBytes += chunk.bytes.size();
        produced.push_back(std::move(chunk));
    }
    return 0;
}

int synthCallback(short* wav, int samples, espeak_EVENT* events)
{
    return activeEngine ? activeEngine->onSamples(wav, samples, events) : 1;
}

std::unique_ptr<Engine> engine;

} // namespace

QString decodeSpeechText(const char* text)
{
    if (!text)
        return {};
    return decodeCp1252(QByteArray(text));
}

bool VS_CreateSpeechEngine()
{
    if (!engine)
        engine = Engine::create(std::move(installedOutput));
    installedOutput.reset();
    SpeechAvailable = engine != nullptr;
    return SpeechAvailable;
}

void VS_DestroySpeechEngine()
{
    engine.reset();
    SpeechAvailable = false;
}

void installSpeechAudioOutput(std::unique_ptr<AudioOutput> output)
{
    installedOutput = std::move(output);
}

bool VS_IsTalking()
{
    return engine && engine->isTalking();
}

void VS_StopTalk()
{
    if (engine)
        engine->stop();
}

void VS_SayText(const char* text, int32_t mode)
{
    if (engine)
        engine->say(text, mode);
}

const char* VS_GetTestMessage()
{
    return TestMessage;
}

int32_t VS_GetLastTextNumber()
{
    return engine ? engine->lastTextNumber : 0;
}

void VS_SetWordMarkProc(VS_WordMarkProc proc, void* context)
{
    wordMarkProc = proc;
    wordMarkContext = context;
}

int32_t VS_GetNumLanguages()
{
    return engine ? int32_t(engine->languageList().size()) : 0;
}

const char* VS_GetLanguageName(int32_t index)
{
    if (!engine || index < 0 || index >= engine->languageList().size())
        return EmptyString;
    return engine->languageList().at(index).name.constData();
}

int32_t VS_GetCurrentLanguageIndex()
{
    return engine ? engine->currentLanguage() : -1;
}

void VS_SelectLanguageByIndex(int32_t index)
{
    if (engine)
        engine->selectLanguage(index);
}

int32_t VS_GetNumVoices()
{
    return engine ? int32_t(engine->voiceList().size()) : 0;
}

const char* VS_GetVoiceName(int32_t index)
{
    if (!engine || index < 0 || index >= engine->voiceList().size())
        return EmptyString;
    return engine->voiceList().at(index).name.constData();
}

int32_t VS_GetCurrentVoiceIndex()
{
    return engine ? engine->currentVoice() : -1;
}

void VS_SelectVoiceByIndex(int32_t index)
{
    if (engine)
        engine->selectVoice(index);
}

int32_t VS_GetMinVolume() { return engine ? MinVolume : 0; }
int32_t VS_GetMaxVolume() { return engine ? MaxVolume : 0; }
int32_t VS_GetVolume() { return engine ? engine->volume : 0; }
int32_t VS_GetDefaultVolume() { return engine ? engine->defaultVolume : 0; }
void VS_SetVolume(int32_t volume)
{
    if (engine)
        engine->volume = std::clamp(volume, MinVolume, MaxVolume);
}

int32_t VS_GetMinSpeed() { return engine ? MinSpeed : 0; }
int32_t VS_GetMaxSpeed() { return engine ? MaxSpeed : 0; }
int32_t VS_GetSpeed() { return engine ? engine->speed : 0; }
int32_t VS_GetDefaultSpeed() { return engine ? engine->defaultSpeed : 0; }
void VS_SetSpeed(int32_t speed)
{
    if (engine)
        engine->speed = std::clamp(speed, MinSpeed, MaxSpeed);
}

int32_t VS_GetMinPitch() { return engine ? MinPitch : 0; }
int32_t VS_GetMaxPitch() { return engine ? MaxPitch : 0; }
int32_t VS_GetPitch() { return engine ? engine->pitch : 0; }
int32_t VS_GetDefaultPitch() { return engine ? engine->defaultPitch : 0; }
void VS_SetPitch(int32_t pitch)
{
    if (engine)
        engine->pitch = std::clamp(pitch, MinPitch, MaxPitch);
}
