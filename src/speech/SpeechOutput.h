#pragma once

#include <QString>

struct ScanVoice;

// What the windows of a run ask of the speech component: read a text, ask
// whether it is still talking, stop it, and the speed of the speech. The
// program's own output goes to the VS_ functions; tests install a fake.
class SpeechOutput
{
public:
    virtual ~SpeechOutput();
    virtual bool isTalking() = 0;
    virtual void stopTalk() = 0;
    // Speaks `text` after whatever is being said (mode 1 of VS_SayText).
    virtual void sayText(const QString& text) = 0;
    // The number the last text said was given, by which the speech engine's
    // word marks name it (VS_GetLastTextNumber); 0 for an output without
    // word marks.
    virtual int lastTextNumber() { return 0; }
    // Words per minute; 0 when there is no engine.
    virtual int speed() = 0;
    virtual void setSpeed(int wordsPerMinute) = 0;
};

// The installed output (the VS_ functions unless a test installed another).
SpeechOutput& speechOutput();
// Installs `output` (not owned; nullptr puts the VS_ functions back) and
// returns the one it replaces, or nullptr for the VS_ functions.
SpeechOutput* setSpeechOutput(SpeechOutput* output);

// Stops what is being said, if anything (VS_IsTalking, then VS_StopTalk).
void stopSpeaking();

// Auditory scanning through the installed output: each name cuts off what
// was being said.
ScanVoice speechScanVoice();
