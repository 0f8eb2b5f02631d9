#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class AudioOutput;

// The program's speech component. The rest of the program calls only the VS_
// functions below, always from the user-interface thread. Strings are
// zero-terminated windows-1252 strings; a returned string stays valid until
// the next call that changes the language (copy it at once).
//
// Behind them stands espeak-ng: text is synthesised on a worker thread and
// the samples are played through one audio stream that stays open while the
// engine exists. Without an engine every call is harmless and silent.

// True when the engine started and an audio output exists.
extern bool SpeechAvailable;

bool VS_CreateSpeechEngine();
void VS_DestroySpeechEngine();

bool VS_IsTalking();
void VS_StopTalk();
// Mode 0 stops what is being said and speaks `text` at once; any other mode
// speaks it after everything already queued. Each text gets the next number
// (1, 2, ...; VS_GetLastTextNumber), by which its word marks name it.
void VS_SayText(const char* text, int32_t mode);
const char* VS_GetTestMessage();

// Word marks: where the sound has got to in the texts being spoken, from the
// speech engine's own word events (their place in the text and in the sound).
// The number VS_SayText gave the last text (0 before the first one).
int32_t VS_GetLastTextNumber();
// Called on the user-interface thread when the sound reaches a word of a
// text: the text's number, the word's first character (0-based, in the text
// as given to VS_SayText) and its length in characters. When the text has
// been heard to its end, once more with start -1 and length 0. VS_StopTalk
// calls it with text 0, start -1, when it stopped something. A voice that
// gives no word events calls it only at the ends. One procedure at a time;
// nullptr removes it.
typedef void (*VS_WordMarkProc)(void* context, int32_t textNumber, int32_t start, int32_t length);
void VS_SetWordMarkProc(VS_WordMarkProc proc, void* context);

int32_t VS_GetNumLanguages();
const char* VS_GetLanguageName(int32_t index);
int32_t VS_GetCurrentLanguageIndex();
void VS_SelectLanguageByIndex(int32_t index);

int32_t VS_GetNumVoices();
const char* VS_GetVoiceName(int32_t index);
int32_t VS_GetCurrentVoiceIndex();
void VS_SelectVoiceByIndex(int32_t index);

int32_t VS_GetMinVolume();
int32_t VS_GetMaxVolume();
int32_t VS_GetVolume();
int32_t VS_GetDefaultVolume();
void VS_SetVolume(int32_t volume);

int32_t VS_GetMinSpeed();
int32_t VS_GetMaxSpeed();
int32_t VS_GetSpeed();
int32_t VS_GetDefaultSpeed();
void VS_SetSpeed(int32_t speed);

int32_t VS_GetMinPitch();
int32_t VS_GetMaxPitch();
int32_t VS_GetPitch();
int32_t VS_GetDefaultPitch();
void VS_SetPitch(int32_t pitch);

// The output the next VS_CreateSpeechEngine plays through (taken over by the
// engine); without one it opens the default sound device. Tests and the
// recording tool install a CaptureAudioOutput here.
void installSpeechAudioOutput(std::unique_ptr<AudioOutput> output);

// The text VS_SayText speaks: windows-1252 bytes read as characters (espeak-ng
// is then given UTF-8, so accented letters and typographic quotes are read).
QString decodeSpeechText(const char* text);
