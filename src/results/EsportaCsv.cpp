#include "results/EsportaCsv.h"

#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/ReadingOrder.h"
#include "results/Urisult.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSaveFile>
#include <QSet>
#include <QDir>

namespace {

const QString separator = QStringLiteral(";");
const QString lineEnd = QStringLiteral("\r\n");

QString levelName(int level)
{
    switch (level) {
    case nonImportante:
        return QStringLiteral("non importante");
    case importante:
        return QStringLiteral("importante");
    case moltoImportante:
        return QStringLiteral("molto importante");
    default:
        return QStringLiteral("da determinare");
    }
}

QString judgement(double mean)
{
    if (mean < 0.4)
        return QStringLiteral("bene");
    if (mean < 0.7)
        return QStringLiteral("abbastanza bene");
    return QStringLiteral("non molto bene");
}

QString row(const QStringList& fields)
{
    QString out;
    for (const QString& f : fields) {
        if (!out.isEmpty())
            out += separator;
        out += csvField(f);
    }
    return out + lineEnd;
}

QString infoValue(const QStringList& info, const QString& key)
{
    for (const QString& line : info) {
        if (line.startsWith(key))
            return trimSpaces(line.mid(key.size()));
    }
    return QString();
}

// The pupil's profile of a run: its last information line "PROFILO=" (the
// program writes it after every other one; a note of the pupil that starts
// the same way comes before it). Empty for a run stored without one.
QString profileOf(const QStringList& info)
{
    const QString key = QStringLiteral("PROFILO=");
    for (qsizetype i = info.size() - 1; i >= 0; --i) {
        if (info.at(i).startsWith(QLatin1String("TIPO DI FEEDBACK=")))
            break;
        if (info.at(i).startsWith(key))
            return trimSpaces(info.at(i).mid(key.size()));
    }
    return QString();
}

// The time spent answering each sentence: the sum of the times of its
// answers; -1 for a sentence never answered or with an answer of unknown time.
QVector<qint64> sentenceTimes(const StoredRun& run, int sentences)
{
    QVector<qint64> times(sentences, 0);
    QVector<bool> answered(sentences, false);
    for (int i = 0; i < run.historyFirst.size(); ++i) {
        bool ok = false;
        const int n = run.historyFirst.at(i).toInt(&ok);
        if (!ok || n < 0 || n >= sentences)
            continue;
        answered[n] = true;
        const qint64 ms = answerTimeMs(run.historyTime.value(i));
        times[n] = (ms < 0 || times.at(n) < 0) ? -1 : times.at(n) + ms;
    }
    for (int n = 0; n < sentences; ++n) {
        if (!answered.at(n))
            times[n] = -1;
    }
    return times;
}

bool writeFile(const QString& path, const QString& text, QString& error)
{
    QSaveFile file(path);
    const QByteArray bom("\xEF\xBB\xBF");
    if (!file.open(QIODevice::WriteOnly) || file.write(bom) != bom.size()
        || file.write(text.toUtf8()) < 0 || !file.commit()) {
        error = QStringLiteral("Errore nella scrittura del file ") + QFileInfo(path).fileName();
        return false;
    }
    return true;
}

} // namespace

QString csvField(const QString& value)
{
    // A spreadsheet takes a field that begins with "=", "+", "-" or "@" as a
    // formula even between quotes: a space in front keeps it a text.
    static const QString formulaStarts = QStringLiteral("=+-@");
    QString quoted = (!value.isEmpty() && formulaStarts.contains(value.front()))
                         ? QLatin1Char(' ') + value
                         : value;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString sentencesPathFor(const QString& runsPath)
{
    const QFileInfo info(runsPath);
    QString base = info.fileName();
    if (base.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        base.chop(4);
    return info.dir().filePath(base + QStringLiteral("_frasi.csv"));
}

bool exportResultsCsv(const QString& archiveFolder, const QString& pupil, const QString& runsPath,
                      QString& error, int* runs)
{
    QList<StoredBlock> blocks;
    if (!ResultsArchive(archiveFolder).readAll(blocks, error))
        return false;
    static const char* const shortNames[] = {"non", "imp", "molto"};
    QStringList header{QStringLiteral("alunno"), QStringLiteral("esercizio"),
                       QStringLiteral("prova"), QStringLiteral("data"),
                       QStringLiteral("visualizzazione"), QStringLiteral("feedback")};
    for (const char* e : shortNames)
        for (const char* g : shortNames)
            header << QStringLiteral("proposto %1 / svolto %2").arg(QLatin1String(e), QLatin1String(g));
    header << QStringLiteral("errore medio") << QStringLiteral("giudizio")
           << QStringLiteral("profilo") << QStringLiteral("tempo totale (s)");
    QString runsText = row(header);
    QString sentencesText = row({QStringLiteral("alunno"), QStringLiteral("prova"),
                                 QStringLiteral("esercizio"), QStringLiteral("frase"),
                                 QStringLiteral("livello atteso"), QStringLiteral("livello dato"),
                                 QStringLiteral("testo"), QStringLiteral("tempo (s)")});
    const QString wanted = pupil.toCaseFolded();
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    auto seconds = [&italian](qint64 ms) {
        // An unknown time is an empty cell, which a spreadsheet's sums and means skip.
        return ms < 0 ? QString() : italian.toString(double(ms) / 1000.0, 'f', 3);
    };
    int written = 0;
    for (const StoredBlock& block : std::as_const(blocks)) {
        const QString who = block.id.pupil();
        if (!wanted.isEmpty() && who.toCaseFolded() != wanted)
            continue;
        const StoredRun run = splitRunSections(block.lines);
        Tparametri params;
        params.mode = fromResults;
        params.source = run.textLines;
        Tevidenziatore assigned(params);
        Tevidenziatore done(params);
        replayHistory(done, run, -2);
        const AnswerCounts counts = countFinalAnswers(assigned, done.lines, run);
        const double mean = meanError(run);
        const QString exercise = infoValue(run.infoLines, QStringLiteral("NOME ESERCIZIO="));
        QStringList fields{who,
                           exercise,
                           block.id.runName(),
                           infoValue(run.infoLines, QStringLiteral("DATA=")),
                           infoValue(run.infoLines, QStringLiteral("TIPO DI VISUALIZZAZIONE=")),
                           infoValue(run.infoLines, QStringLiteral("TIPO DI FEEDBACK="))};
        for (int value : counts.values)
            fields << QString::number(value);
        fields << italian.toString(mean, 'f', 3) << judgement(mean) << profileOf(run.infoLines)
               << seconds(answerTimes(run).knownTotal());
        runsText += row(fields);
        const QVector<qint64> times = sentenceTimes(run, assigned.sentenceCount);
        QStringList sentence;
        for (int n = 0; n < assigned.sentenceCount; ++n) {
            assigned.sentenceLines(n, sentence);
            sentencesText += row({who, block.id.runName(), exercise, QString::number(n + 1),
                                  levelName(assigned.importanceOf(n)),
                                  levelName(done.importanceOf(n)),
                                  sentence.join(QLatin1Char(' ')), seconds(times.at(n))});
        }
        ++written;
    }
    if (!writeFile(runsPath, runsText, error)
        || !writeFile(sentencesPathFor(runsPath), sentencesText, error))
        return false;
    if (runs)
        *runs = written;
    return true;
}

TesportaForm::TesportaForm(const QStringList& pupils, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TesportaForm"));
    setWindowTitle(QStringLiteral("  esporta in CSV"));
    setModal(true);
    setFixedSize(300, 110);
    auto label = new QLabel(QStringLiteral("risultati da esportare"), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->setGeometry(10, 8, 280, 18);
    ComboAlunni = new QComboBox(this);
    ComboAlunni->setObjectName(QStringLiteral("ComboAlunni"));
    ComboAlunni->setGeometry(10, 28, 280, 25);
    ComboAlunni->addItem(QStringLiteral("tutti gli alunni"));
    ComboAlunni->addItems(pupils);
    OKBtn = new QPushButton(QStringLiteral("&OK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setGeometry(110, 70, 85, 30);
    OKBtn->setDefault(true);
    cancelBtn = new QPushButton(QStringLiteral("&Annulla"), this);
    cancelBtn->setObjectName(QStringLiteral("cancelBtn"));
    cancelBtn->setGeometry(205, 70, 85, 30);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

QString TesportaForm::chosenPupil() const
{
    return ComboAlunni->currentIndex() > 0 ? ComboAlunni->currentText() : QString();
}

void exportResultsInteractively(const AppContext& context, QWidget* parent)
{
    const QString archiveFolder = resultsFolderIn(context.dataRoot);
    const QList<RunIdentifier> ids = ResultsArchive(archiveFolder).runs();
    QStringList pupils;
    QSet<QString> seen;
    for (const RunIdentifier& id : ids) {
        const QString who = id.pupil();
        if (!seen.contains(who.toCaseFolded())) {
            seen.insert(who.toCaseFolded());
            pupils << who;
        }
    }
    if (pupils.isEmpty()) {
        showMessage(QStringLiteral("Non ci sono esercizi svolti"));
        return;
    }
    sortForReading(pupils);
    TesportaForm form(pupils, parent);
    if (form.exec() != QDialog::Accepted)
        return;
    const QString path = dialogs().saveFileName(QStringLiteral("Esporta in CSV"), context.dataRoot,
                                                QStringLiteral("File CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QString target = path;
    if (!target.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        target += QStringLiteral(".csv");
    QString error;
    int runs = 0;
    if (!exportResultsCsv(archiveFolder, form.chosenPupil(), target, error, &runs)) {
        showMessage(error + QString::fromUtf8(": l'esportazione non è stata completata."));
        return;
    }
    showMessage(QStringLiteral("Esportazione effettuata: %1 esercizi svolti in %2 e le loro frasi "
                               "in %3.")
                    .arg(runs)
                    .arg(QFileInfo(target).fileName(), QFileInfo(sentencesPathFor(target)).fileName()));
}
