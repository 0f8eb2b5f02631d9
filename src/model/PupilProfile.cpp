#include "model/PupilProfile.h"

#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

namespace {

const QString group = QStringLiteral("profilo");

int clampTenths(int ms, int low, int high)
{
    // Times go in tenths of a second, as the profile window shows them.
    const int rounded = int(std::lround(ms / 100.0)) * 100;
    return std::clamp(rounded, low, high);
}

// Seconds as a profile file writes them ("1.5"), and milliseconds read from
// such a number (a comma is taken for the point).
QString secondsText(int ms)
{
    return QLocale::c().toString(ms / 1000.0, 'g', 6);
}

bool readSeconds(const QString& text, int& ms)
{
    bool ok = false;
    const double seconds = QLocale::c().toDouble(trimSpaces(text).replace(QLatin1Char(','),
                                                                          QLatin1Char('.')),
                                                 &ok);
    if (!ok || !std::isfinite(seconds))
        return false;
    // Far out of range stays far out of range, then comes back to its end.
    ms = int(std::clamp(seconds * 1000.0, -1e9, 1e9));
    return true;
}

bool readInteger(const QString& text, int& value)
{
    bool ok = false;
    const qlonglong number = trimSpaces(text).toLongLong(&ok);
    if (!ok)
        return false;
    value = int(std::clamp<qlonglong>(number, -1000000000LL, 1000000000LL));
    return true;
}

bool readTruth(const QString& text, bool& value)
{
    const QString word = trimSpaces(text).toLower();
    if (word == QLatin1String("true")) {
        value = true;
        return true;
    }
    if (word == QLatin1String("false")) {
        value = false;
        return true;
    }
    return false;
}

QString decimalWords(int ms)
{
    // Italian decimals: "1,5 s", "0 s".
    QString text = QLocale::c().toString(ms / 1000.0, 'g', 6);
    text.replace(QLatin1Char('.'), QLatin1Char(','));
    return text + QStringLiteral(" s");
}

// A value read from the file in a form the run's lines can hold.
QString storable(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('[') || c == QLatin1Char(']') || c == QLatin1Char(';')
            || c == QLatin1Char('|') || c.category() == QChar::Other_Control
            || !fitsCp1252(QString(c)))
            continue;
        out += c;
    }
    return trimSpaces(out);
}

} // namespace

bool ScanTiming::operator==(const ScanTiming& other) const
{
    return stepMs == other.stepMs && firstStepExtraMs == other.firstStepExtraMs
           && acceptMs == other.acceptMs && ignoreMs == other.ignoreMs && cycles == other.cycles
           && auditory == other.auditory && largeFrame == other.largeFrame;
}

bool PupilProfile::operator==(const PupilProfile& other) const
{
    return scan == other.scan && fontFamily == other.fontFamily
           && (fontFamily.isEmpty() || fontSize == other.fontSize)
           && useSpeech == other.useSpeech && speechSpeed == other.speechSpeed
           && maxSentenceTime == other.maxSentenceTime;
}

void PupilProfile::clamp()
{
    scan.stepMs = clampTenths(scan.stepMs, minStepMs, maxStepMs);
    scan.firstStepExtraMs = clampTenths(scan.firstStepExtraMs, 0, maxFirstStepExtraMs);
    scan.acceptMs = clampTenths(scan.acceptMs, 0, maxAcceptMs);
    scan.ignoreMs = clampTenths(scan.ignoreMs, 0, maxIgnoreMs);
    scan.cycles = std::clamp(scan.cycles, 0, maxCycles);
    fontFamily = trimSpaces(fontFamily);
    if (fontFamily.isEmpty())
        fontSize = 0;
    else
        fontSize = std::clamp(fontSize, minFontSize, maxFontSize);
    if (speechSpeed)
        speechSpeed = std::clamp(*speechSpeed, minSpeechSpeed, maxSpeechSpeed);
    if (maxSentenceTime)
        maxSentenceTime = std::clamp(*maxSentenceTime, 0, maxSentenceTimeLimit);
}

QString profileFolder(const QString& dataRoot)
{
    return dataRoot + QStringLiteral("alunni/");
}

QString profilePath(const QString& dataRoot, const QString& pupilName)
{
    const QString name = trimSpaces(pupilName).toUpper();
    QString file;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        const bool plain = (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
                           || (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                           || (c == QLatin1Char(' ') && i > 0 && name.at(i - 1) != c);
        if (plain) {
            file += c;
            continue;
        }
        // A character outside the plain ones (a surrogate pair goes whole).
        QString character(c);
        if (c.isHighSurrogate() && i + 1 < name.size())
            character += name.at(++i);
        for (const char byte : character.toUtf8())
            file += QStringLiteral("%%1").arg(uchar(byte), 2, 16, QLatin1Char('0')).toUpper();
    }
    return profileFolder(dataRoot) + file + QStringLiteral(".ini");
}

QByteArray encodePupilProfile(const QString& pupilName, const PupilProfile& profile)
{
    QTemporaryDir folder;
    if (!folder.isValid())
        return {};
    const QString path = folder.filePath(QStringLiteral("profilo.ini"));
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.beginGroup(group);
        ini.setValue(QStringLiteral("alunno"), trimSpaces(pupilName).toUpper());
        ini.setValue(QStringLiteral("passo"), secondsText(profile.scan.stepMs));
        ini.setValue(QStringLiteral("primoPasso"), secondsText(profile.scan.firstStepExtraMs));
        ini.setValue(QStringLiteral("accettazione"), secondsText(profile.scan.acceptMs));
        ini.setValue(QStringLiteral("ignora"), secondsText(profile.scan.ignoreMs));
        ini.setValue(QStringLiteral("giri"), QString::number(profile.scan.cycles));
        ini.setValue(QStringLiteral("scansioneUditiva"), profile.scan.auditory);
        ini.setValue(QStringLiteral("corniceGrande"), profile.scan.largeFrame);
        if (!profile.fontFamily.isEmpty()) {
            ini.setValue(QStringLiteral("carattere"), profile.fontFamily);
            ini.setValue(QStringLiteral("dimensione"), QString::number(profile.fontSize));
        }
        if (profile.useSpeech)
            ini.setValue(QStringLiteral("sintesi"), *profile.useSpeech);
        if (profile.speechSpeed)
            ini.setValue(QStringLiteral("velocita"), QString::number(*profile.speechSpeed));
        if (profile.maxSentenceTime)
            ini.setValue(QStringLiteral("tempoMax"), QString::number(*profile.maxSentenceTime));
        ini.endGroup();
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool decodePupilProfile(const QByteArray& bytes, PupilProfile& profile)
{
    profile = PupilProfile();
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError() || text.contains(QChar(0)))
        return false;

    // Qt's INI reader works on a file; it reads a private copy.
    QTemporaryDir folder;
    if (!folder.isValid())
        return false;
    const QString path = folder.filePath(QStringLiteral("profilo.ini"));
    {
        QFile copy(path);
        if (!copy.open(QIODevice::WriteOnly) || copy.write(bytes) != bytes.size())
            return false;
    }
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError || !ini.childGroups().contains(group))
        return false;
    ini.beginGroup(group);
    PupilProfile read;
    // A value with commas written without quotes reads as a list: it is one
    // value (a number with a decimal comma, a name with a comma).
    const auto valueOf = [&ini](const char* key, const QString& comma = QStringLiteral(",")) {
        const QVariant value = ini.value(QLatin1String(key));
        return value.typeId() == QMetaType::QStringList ? value.toStringList().join(comma)
                                                        : value.toString();
    };
    const auto has = [&ini](const char* key) { return ini.contains(QLatin1String(key)); };
    const auto seconds = [&](const char* key, int& ms) {
        return !has(key) || readSeconds(valueOf(key), ms);
    };
    const auto truth = [&](const char* key, bool& value) {
        return !has(key) || readTruth(valueOf(key), value);
    };
    bool ok = seconds("passo", read.scan.stepMs) && seconds("primoPasso", read.scan.firstStepExtraMs)
              && seconds("accettazione", read.scan.acceptMs) && seconds("ignora", read.scan.ignoreMs)
              && (!has("giri") || readInteger(valueOf("giri"), read.scan.cycles))
              && truth("scansioneUditiva", read.scan.auditory)
              && truth("corniceGrande", read.scan.largeFrame);
    if (ok && has("carattere") && !trimSpaces(valueOf("carattere")).isEmpty()) {
        read.fontFamily = valueOf("carattere", QStringLiteral(", "));
        read.fontSize = 16;
        ok = !has("dimensione") || readInteger(valueOf("dimensione"), read.fontSize);
    }
    const auto optionalTruth = [&](const char* key, std::optional<bool>& value) {
        if (!has(key) || trimSpaces(valueOf(key)).isEmpty())
            return true;
        bool parsed = false;
        if (!readTruth(valueOf(key), parsed))
            return false;
        value = parsed;
        return true;
    };
    const auto optionalInteger = [&](const char* key, std::optional<int>& value) {
        if (!has(key) || trimSpaces(valueOf(key)).isEmpty())
            return true;
        int parsed = 0;
        if (!readInteger(valueOf(key), parsed))
            return false;
        value = parsed;
        return true;
    };
    ok = ok && optionalTruth("sintesi", read.useSpeech)
         && optionalInteger("velocita", read.speechSpeed)
         && optionalInteger("tempoMax", read.maxSentenceTime);
    ini.endGroup();
    if (!ok)
        return false;
    read.clamp();
    profile = read;
    return true;
}

ProfileRead readPupilProfile(const QString& dataRoot, const QString& pupilName,
                             PupilProfile& profile)
{
    profile = PupilProfile();
    const QString path = profilePath(dataRoot, pupilName);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return ProfileRead::missing;
    // A profile is always replaced whole: it can be read without its lock.
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        return ProfileRead::damaged;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return ProfileRead::damaged;
    return decodePupilProfile(bytes, profile) ? ProfileRead::read : ProfileRead::damaged;
}

QString damagedProfileMessage(const QString& pupilName)
{
    return QStringLiteral("Il profilo dell'alunno ") + trimSpaces(pupilName).toUpper()
           + QString::fromUtf8(" non può essere letto (il file è danneggiato o illeggibile): "
                               "si usano i valori predefiniti. Il file resta com'è finché il "
                               "profilo non viene salvato di nuovo.");
}

PupilProfile loadPupilProfile(const QString& dataRoot, const QString& pupilName)
{
    PupilProfile profile;
    if (readPupilProfile(dataRoot, pupilName, profile) == ProfileRead::damaged)
        showMessage(damagedProfileMessage(pupilName));
    return profile;
}

bool savePupilProfile(const QString& dataRoot, const QString& pupilName,
                      const PupilProfile& profile)
{
    const QString name = trimSpaces(pupilName).toUpper();
    const QString failed = QStringLiteral("Il profilo dell'alunno ") + name
                           + QString::fromUtf8(" non è stato salvato");
    PupilProfile values = profile;
    values.clamp();
    const QByteArray bytes = encodePupilProfile(name, values);
    const QString path = profilePath(dataRoot, name);
    if (bytes.isEmpty() || !QDir().mkpath(profileFolder(dataRoot))) {
        showMessage(failed + QStringLiteral(": impossibile scrivere nella cartella ")
                    + QDir::toNativeSeparators(profileFolder(dataRoot)) + QLatin1Char('.'));
        return false;
    }
    const FileLock lock(path);
    if (!lock.ok()) {
        showMessage(failed + QString::fromUtf8(": il file è in uso altrove."));
        return false;
    }
    if (isReadOnlyFile(path)) {
        showMessage(failed + QString::fromUtf8(": il file è di sola lettura."));
        return false;
    }
    removeLeftovers(path);
    if (!replaceFileContents(path, bytes)) {
        showMessage(failed + QStringLiteral(": errore di scrittura del file ")
                    + QDir::toNativeSeparators(path) + QLatin1Char('.'));
        return false;
    }
    return true;
}

QString profileInWords(const PupilProfile& inForce)
{
    const ScanTiming& scan = inForce.scan;
    QStringList parts;
    parts << QStringLiteral("passo ") + decimalWords(scan.stepMs)
          << QStringLiteral("accettazione ") + decimalWords(scan.acceptMs)
          << QStringLiteral("primo passo ") + decimalWords(scan.firstStepExtraMs)
          << QStringLiteral("ignora ripetizioni ") + decimalWords(scan.ignoreMs)
          << (scan.cycles > 0 ? QStringLiteral("giri %1").arg(scan.cycles)
                              : QStringLiteral("giri senza limite"))
          << QStringLiteral("scansione uditiva ")
                 + (scan.auditory ? QString::fromUtf8("sì") : QStringLiteral("no"))
          << QStringLiteral("cornice grande ")
                 + (scan.largeFrame ? QString::fromUtf8("sì") : QStringLiteral("no"));
    const QString family = storable(inForce.fontFamily);
    parts << (family.isEmpty() ? QStringLiteral("carattere %1").arg(inForce.fontSize)
                               : QStringLiteral("carattere %1 %2").arg(family).arg(inForce.fontSize));
    if (inForce.useSpeech.value_or(false)) {
        QString speech = QString::fromUtf8("sintesi sì");
        if (inForce.speechSpeed)
            speech += QString::fromUtf8(" velocità %1").arg(*inForce.speechSpeed);
        parts << speech;
    } else {
        parts << QStringLiteral("sintesi no");
    }
    const int limit = inForce.maxSentenceTime.value_or(0);
    parts << (limit > 0 ? QStringLiteral("tempo massimo %1 s").arg(limit)
                        : QStringLiteral("tempo massimo illimitato"));
    return parts.join(QStringLiteral("; "));
}
