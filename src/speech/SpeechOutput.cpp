#include "speech/SpeechOutput.h"

#include "access/Uscans.h"
#include "model/Funzioni.h"
#include "speech/SpeechEngine.h"

SpeechOutput::~SpeechOutput() = default;

namespace {

class VsSpeechOutput final : public SpeechOutput
{
public:
    bool isTalking() override { return VS_IsTalking(); }
    void stopTalk() override { VS_StopTalk(); }
    void sayText(const QString& text) override { VS_SayText(encodeCp1252(text).constData(), 1); }
    int lastTextNumber() override { return VS_GetLastTextNumber(); }
    int speed() override { return VS_GetSpeed(); }
    void setSpeed(int wordsPerMinute) override { VS_SetSpeed(wordsPerMinute); }
};

SpeechOutput* installedOutput = nullptr;

} // namespace

SpeechOutput& speechOutput()
{
    static VsSpeechOutput vs;
    return installedOutput ? *installedOutput : vs;
}

SpeechOutput* setSpeechOutput(SpeechOutput* output)
{
    SpeechOutput* previous = installedOutput;
    installedOutput = output;
    return previous;
}

void stopSpeaking()
{
    SpeechOutput& output = speechOutput();
    if (output.isTalking())
        output.stopTalk();
}

ScanVoice speechScanVoice()
{
    ScanVoice voice;
    voice.say = [](const QString& label) {
        stopSpeaking();
        speechOutput().sayText(label);
    };
    voice.talking = [] { return speechOutput().isTalking(); };
    return voice;
}
