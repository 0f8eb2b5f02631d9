#pragma once

#include <QString>
#include <optional>

// How switch access is timed for one pupil. The defaults are the program's
// usual timing: a step of 1.5 s and nothing else.
struct ScanTiming {
    static constexpr int defaultStepMs = 1500;
    static constexpr int normalMargin = 6;
    static constexpr int largeMargin = 12;

    int stepMs = defaultStepMs;  // the frame stays this long on each button
    int firstStepExtraMs = 0;    // and this much more where the scan starts again
    int acceptMs = 0;            // a press counts only when held this long
    int ignoreMs = 0;            // presses this soon after an accepted one are ignored
    int cycles = 0;              // full rounds before the scan stops and waits; 0: never
    bool auditory = false;       // a button's name is spoken when the frame reaches it
    bool largeFrame = false;     // the frame twice as thick

    int frameMargin() const { return largeFrame ? largeMargin : normalMargin; }
    bool operator==(const ScanTiming& other) const;
    bool operator!=(const ScanTiming& other) const { return !(*this == other); }
};

// What is kept for one pupil: the timing of switch access, the text font of
// the pupil's runs, read-aloud and its speed, and the time limit per
// sentence. A value not set follows the run window's font, the general
// options and the speech settings.
struct PupilProfile {
    // Ranges of the values; anything outside is brought to the nearest end.
    static constexpr int minStepMs = 300;
    static constexpr int maxStepMs = 10000;
    static constexpr int maxFirstStepExtraMs = 5000;
    static constexpr int maxAcceptMs = 2000;
    static constexpr int maxIgnoreMs = 2000;
    static constexpr int maxCycles = 10;
    static constexpr int minFontSize = 6;
    static constexpr int maxFontSize = 48;
    static constexpr int minSpeechSpeed = 80;   // words per minute
    static constexpr int maxSpeechSpeed = 450;
    static constexpr int maxSentenceTimeLimit = 120;

    ScanTiming scan;
    QString fontFamily;                  // empty: the run window's font
    int fontSize = 0;                    // points, with fontFamily
    std::optional<bool> useSpeech;       // read-aloud buttons
    std::optional<int> speechSpeed;      // words per minute
    std::optional<int> maxSentenceTime;  // seconds, 0 = unlimited

    bool operator==(const PupilProfile& other) const;
    bool operator!=(const PupilProfile& other) const { return !(*this == other); }
    // Every value as a pupil without a profile has it.
    bool isDefault() const { return *this == PupilProfile(); }
    // Brings every value into its range (times to tenths of a second).
    void clamp();
};

// The folder of the profiles under the data root: "alunni/".
QString profileFolder(const QString& dataRoot);
// The profile file of a pupil (the name as the run stores it: spaces around
// it do not count, letters in upper case). Letters, digits and single inner
// spaces stand as they are; any other character is written as %XX of its
// UTF-8 bytes, so every name has a file of its own on any file system.
QString profilePath(const QString& dataRoot, const QString& pupilName);

enum class ProfileRead {
    missing,  // no file: the defaults
    read,     // read (values out of range brought into range)
    damaged,  // unreadable or not a profile: the defaults; the file is left alone
};

// Reads the profile of `pupilName`; `profile` gets the defaults unless it is read.
ProfileRead readPupilProfile(const QString& dataRoot, const QString& pupilName,
                             PupilProfile& profile);
// The same, and for a damaged file one message that names the pupil.
PupilProfile loadPupilProfile(const QString& dataRoot, const QString& pupilName);
// The message shown for a damaged profile.
QString damagedProfileMessage(const QString& pupilName);

// The contents of a profile file: a UTF-8 INI file with the group [profilo].
QByteArray encodePupilProfile(const QString& pupilName, const PupilProfile& profile);
// False when `bytes` are not a profile (not UTF-8, not INI, no [profilo],
// a value that is not a number or a truth value where one is wanted).
bool decodePupilProfile(const QByteArray& bytes, PupilProfile& profile);

// Writes the profile whole under the file's lock (the folder is made when
// missing); two computers saving the same pupil leave the last save. False,
// with a message, when it is not written.
bool savePupilProfile(const QString& dataRoot, const QString& pupilName,
                      const PupilProfile& profile);

// The values in force in words, for the run's information lines
// ("passo 1,5 s; primo passo 0 s; ..."). `inForce` holds every value: its
// font, read-aloud and time limit set.
QString profileInWords(const PupilProfile& inForce);
