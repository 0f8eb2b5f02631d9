#pragma once

// Helpers shared by the benchmark programs.

#include "model/Clock.h"
#include "model/Funzioni.h"
#include "common/AppContext.h"
#include "shell/Umascher.h"
#include "model/Longname.h"
#include "model/Uevidenz.h"

#include <QElapsedTimer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// About `bytes` bytes of Italian plain text in lines of some 70 characters,
// sentences of 6 to 30 words ending with a full stop; the same text at every run.
inline QStringList italianText(int bytes)
{
    const QStringList words = QString::fromUtf8(
        "il gatto dorme sul divano della nonna mentre fuori piove e il cane abbaia "
        "alla luna perché ha paura del temporale che arriva dalle montagne lontane "
        "la maestra spiega agli alunni come si riconoscono le frasi più importanti "
        "di un testo e quali invece si possono tralasciare senza perdere il senso "
        "città università perciò però già così più può è là giù qualità verità "
        "Roma Milano Napoli Torino Palermo Genova Bologna Firenze Venezia Verona")
                                  .split(QLatin1Char(' '));
    QRandomGenerator random(2026);
    QStringList lines;
    int total = 0;
    QString line;
    while (total < bytes) {
        const int sentenceWords = 6 + random.bounded(25);
        for (int w = 0; w < sentenceWords; ++w) {
            QString word = words.at(random.bounded(int(words.size())));
            if (w == 0)
                word[0] = word.at(0).toUpper();
            line += word;
            line += (w + 1 == sentenceWords) ? QStringLiteral(". ") : QStringLiteral(" ");
            if (line.size() > 70) {
                total += int(line.size()) + 2;
                lines << line;
                line.clear();
            }
        }
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

inline double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

inline void report(const char* what, double ms, const char* bound)
{
    std::printf("%-46s %9.3f ms                  (bound %s)\n", what, ms, bound);
}

struct Times {
    double median = 0;
    double worst = 0;
};

inline void report(const char* what, const Times& t, const char* bound)
{
    std::printf("%-46s %9.3f ms (worst %7.3f ms) (bound %s)\n", what, t.median, t.worst, bound);
}

// Median and worst time of `runs` calls (the worst shows what other work on
// the machine adds).
inline Times timesOf(int runs, const std::function<void()>& action)
{
    std::vector<double> all;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        action();
        all.push_back(msSince(timer));
    }
    std::sort(all.begin(), all.end());
    return {all[all.size() / 2], all.back()};
}

// Median and worst of times already taken.
inline Times timesFrom(std::vector<double> all)
{
    if (all.empty())
        return {};
    std::sort(all.begin(), all.end());
    return {all[all.size() / 2], all.back()};
}

// Every reading moves on by a second: the waits of the windows (pauses,
// effects) end at once, and only the work is measured.
class FastClock final : public MsClock
{
public:
    qint64 milliseconds() override { return now += 1000; }

private:
    qint64 now = 0;
};

// Saves an exercise of marked `lines` (tag lines and text lines) as
// `longName` in the data root's "esercizi/".
inline bool saveBenchExercise(const QString& dataRoot, const QString& longName, const QStringList& lines)
{
    Tparametri params;
    params.mode = fromExercise;
    params.source = lines;
    params.compito = QStringLiteral("Evidenzia le frasi importanti.");
    Tevidenziatore model(params);
    const QString folder = dataRoot + QStringLiteral("esercizi/");
    return model.saveExercise(folder, fileNameFor(folder, longName));
}

// The `n`-th sentence of the stored runs' texts: 8 to 16 Italian words, the
// same at every run.
inline QString archiveSentence(int n)
{
    static const char* const words[] = {"il",     "gatto",  "dorme",    "sul",     "divano", "di",
                                        "casa",   "mentre", "la",       "volpe",   "guarda", "perché",
                                        "città",  "è",      "lontana",  "bambini", "scuola", "però",
                                        "quando", "sempre", "qualcosa", "fiume",   "più",    "mare"};
    QString s;
    const int count = 8 + n % 9;
    for (int i = 0; i < count; ++i) {
        if (i)
            s += u' ';
        s += QString::fromUtf8(words[(n * 7 + i * 5) % int(std::size(words))]);
    }
    s[0] = s[0].toUpper();
    return s + u'.';
}

// Writes a results archive of `runs` runs at `path` in one go, the lines of
// run n given by `block(n)` (windows-1252, CR LF). False when it cannot.
inline bool writeBenchArchive(const QString& path, int runs, const std::function<QStringList(int)>& block)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray chunk;
    for (int run = 0; run < runs; ++run) {
        for (const QString& line : block(run)) {
            chunk += encodeCp1252(line);
            chunk += "\r\n";
        }
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    return file.write(chunk) == chunk.size() && file.flush();
}

// The context of a benchmark's windows: the build tree's program folder and
// the data root `folder` (given without its final "/"), with its folders of
// exercises and results made; the time limit off.
inline AppContext benchContext(const QString& folder)
{
    AppContext context;
    context.programFolder = locateProgramFolder(
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("..")));
    context.dataRoot = folder + QLatin1Char('/');
    context.options.maxSentenceTime = 0;
    QDir().mkpath(context.dataRoot + QStringLiteral("esercizi"));
    QDir().mkpath(context.dataRoot + QStringLiteral("risult"));
    return context;
}
