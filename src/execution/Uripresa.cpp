#include "execution/Uripresa.h"

#include "access/Joystick.h"
#include "access/SerBtn.h"
#include "common/UQuery.h"
#include "model/ResultsFile.h"
#include "execution/Udomanda.h"
#include "model/Clock.h"
#include "model/DialogService.h"
#include "model/Funzioni.h"
#include "model/Longname.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

QString whoAndWhen(const RunJournalStart& start)
{
    return QString::fromUtf8("L'esercizio «") + start.exerciseName + QString::fromUtf8("» di ")
           + trimSpaces(start.pupilName) + QStringLiteral(", iniziato il ")
           + start.started.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" alle ")
           + start.started.toString(QStringLiteral("HH:mm"));
}

// The pupil's device can be used now (a run offered at the start of the
// program brings its own); says why not.
bool deviceReady(const RunJournalStart& start, TBottoneSeriale* serial)
{
    if (!start.scanningAccess)
        return true;
    const auto device = AccessDevice(start.accessDevice);
    if (device == joystickDirectional || device == joystickTwoButton || device == joystickOneButton) {
        int code = 0;
        if (joystickPresent(0, code))
            return true;
        showMessage(code == joyUnplugged ? QStringLiteral("Il joystick non e' collegato")
                                         : QStringLiteral("Impossibile utilizzare il joystick"));
        return false;
    }
    if (device == serialTwoSwitch || device == serialOneSwitch) {
        if (serial && !start.serialPort.isEmpty() && serial->portDevice() != start.serialPort)
            serial->openPort(start.serialPort);
        if (serial && serial->portReady())
            return true;
        showMessage(QStringLiteral("Impossibile utilizzare il tasto seriale"));
        return false;
    }
    return true;
}

bool deleteOrKeep(QWidget* owner, const InterruptedRun& run, bool scanningAccess, AccessDevice device,
                  TBottoneSeriale* serial)
{
    if (askPupil(owner, QStringLiteral("Vuoi eliminarlo ?"), scanningAccess, device,
                 profileOfRun(run.start).scan, serial)
        != YesButton)
        return false;
    if (!removeRunJournal(run.path))
        showMessage(QStringLiteral("Il file ") + QFileInfo(run.path).fileName()
                    + QString::fromUtf8(" non si può eliminare: è in uso altrove o in una cartella "
                                        "di sola lettura."));
    return true;
}

// A run stopped after it was stored but before its journal went: the results
// file holds it already (the same pupil, exercise and history).
bool alreadyStored(const InterruptedRun& run, const QString& resultsFolder)
{
    const QString name = QStringLiteral("risult");
    const QString extension = QStringLiteral("sal");
    if (!run.state.ended || !QFileInfo(sectionFilePath(resultsFolder, name, extension)).isFile())
        return false;
    QStringList history;
    const qsizetype entries = std::min({run.state.historyFirst.size(), run.state.historySecond.size(),
                                        run.state.historyThird.size()});
    for (qsizetype i = 0; i < entries; ++i)
        history << trimSpaces(historyLine(run.state.historyFirst.at(i), run.state.historySecond.at(i),
                                          run.state.historyThird.at(i),
                                          run.state.historyTime.value(i)));
    const QString key = QStringLiteral("identificatore");
    const QString pupil = trimSpaces(run.start.pupilName);
    const QString exercise = QStringLiteral("NOME ESERCIZIO=") + run.start.exerciseName;
    QStringList ids;
    listValues(ids, key, resultsFolder, name, extension);
    for (const QString& id : std::as_const(ids)) {
        if (trimSpaces(id.section(QLatin1Char('^'), 0, 0)) != pupil)
            continue;
        QStringList block;
        readBlock(block, key, id, false, resultsFolder, name, extension);
        const qsizetype storia = block.indexOf(QStringLiteral("[storia]"));
        if (storia >= 0 && block.contains(trimSpaces(exercise)) && block.mid(storia + 1) == history)
            return true;
    }
    return false;
}

} // namespace

void replayHistory(Tevidenziatore& model, const QStringList& first, const QStringList& second,
                   const QStringList& third)
{
    for (int n = 0; n < model.sentenceCount; ++n)
        model.setImportance(n, nonImportante);
    const qsizetype entries = std::min({first.size(), second.size(), third.size()});
    for (qsizetype i = 0; i < entries; ++i) {
        bool ok = false;
        bool ok2 = false;
        const int a = first.at(i).toInt(&ok);
        const int b = second.at(i).toInt(&ok2);
        if (!ok || !ok2)
            continue;
        if (a == -1) {
            // A reset: sentences b to the third field, back to "non importante".
            const int last = third.at(i).toInt(&ok);
            for (int n = b; ok && n <= last && n < model.sentenceCount; ++n)
                model.setImportance(n, nonImportante);
        } else if (b >= 0 && b <= 2) {
            model.setImportance(a, ImportanceLevel(b + 1));
        }
    }
}

std::unique_ptr<Tevidenziatore> modelOfRun(const InterruptedRun& run)
{
    Tparametri params;
    params.mode = fromExercise;
    params.source = run.start.exerciseText;
    params.compito = run.start.exerciseTask;
    auto model = std::make_unique<Tevidenziatore>(params);
    model->hideAnswers();
    replayHistory(*model, run.state.historyFirst, run.state.historySecond, run.state.historyThird);
    return model;
}

TesercizioSvolto recordOfRun(const InterruptedRun& run)
{
    TesercizioSvolto record;
    record.pupilName = run.start.pupilName;
    record.pupilInfo = run.start.pupilInfo;
    record.exerciseName = run.start.exerciseName;
    record.displayMode = DisplayMode(run.start.displayMode);
    record.feedbackMode = FeedbackMode(run.start.feedbackMode);
    record.historyFirst = run.state.historyFirst;
    record.historySecond = run.state.historySecond;
    record.historyThird = run.state.historyThird;
    record.historyTime = run.state.historyTime;
    record.lastStepError = run.state.lastStepError;
    return record;
}

ExerciseNow exerciseNow(const InterruptedRun& run, const QString& exercisesFolder)
{
    const QString file = existingFileNameFor(exercisesFolder, run.start.exerciseName);
    const QString path = QDir(exercisesFolder).filePath(file);
    if (file.isEmpty() || !QFileInfo(path).isFile())
        return ExerciseNow::Deleted;
    QStringList text;
    QString task;
    if (!readExercise(path, text, task))
        return ExerciseNow::Deleted;
    return text == run.start.exerciseText && task == run.start.exerciseTask ? ExerciseNow::Same
                                                                            : ExerciseNow::Changed;
}

bool storeRunAs(QWidget* owner, const QString& title, const QString& resultsFolder,
                Tevidenziatore& model, TesercizioSvolto& run, bool& fileFailed)
{
    fileFailed = false;
    const auto now = [] { return msClock().dateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")); };
    for (;;) {
        TFormQuery query(owner);
        query.setWindowTitle(title);
        query.Edit1->setText(now());
        query.Label1->setText(QStringLiteral("Scrivi il nome dell'esercizio"));
        bool ok = query.exec() == QDialog::Accepted;
        QString name = query.Edit1->text();
        while (ok && trimSpaces(name).isEmpty()) {
            showMessage(QStringLiteral("Nessun nome specificato"));
            query.Edit1->setText(now());
            ok = query.exec() == QDialog::Accepted;
            name = trimSpaces(query.Edit1->text());
        }
        if (!ok)
            return false;
        name = RunIdentifier::storedName(name);
        TesercizioSvolto stored = run;
        stored.runName = name;
        if (model.writeRun(resultsFolder, resultsName, resultsExtension, stored, &fileFailed)) {
            run.runName = name;
            fileFailed = false;
            return true;
        }
    }
}

QString profileForJournal(const QString& pupilName, const PupilProfile& profile)
{
    return QString::fromLatin1(encodePupilProfile(pupilName, profile).toBase64());
}

PupilProfile profileOfRun(const RunJournalStart& start)
{
    PupilProfile profile;
    if (!start.profile.isEmpty()
        && !decodePupilProfile(QByteArray::fromBase64(start.profile.toLatin1()), profile))
        profile = PupilProfile();
    return profile;
}

QString resumeQuestion(const RunJournalStart& start)
{
    return whoAndWhen(start) + QString::fromUtf8(", non è stato finito. Vuoi riprenderlo ?");
}

RunOffer offerInterruptedRun(QWidget* owner, const QString& dataRoot, const InterruptedRun& run,
                             bool scanningAccess, AccessDevice device, TBottoneSeriale* serial)
{
    if (!run.readable) {
        showMessage(QStringLiteral("Attenzione!"),
                    run.damage + QString::fromUtf8(" Il file si trova nella cartella risult/in-corso."),
                    DialogIcon::Warning);
        return deleteOrKeep(owner, run, false, device, serial) ? RunOffer::Deleted : RunOffer::Kept;
    }
    const QString results = resultsFolderIn(dataRoot);
    if (run.damage.isEmpty() && alreadyStored(run, results)) {
        // Nothing is left to do with it.
        removeRunJournal(run.path);
        return RunOffer::Stored;
    }
    if (!run.damage.isEmpty())
        showMessage(QStringLiteral("Attenzione!"), run.damage, DialogIcon::Warning);

    const ExerciseNow exercise = exerciseNow(run, QDir(dataRoot).filePath(QStringLiteral("esercizi")));
    if (exercise != ExerciseNow::Same) {
        // The run cannot go on with another text: it is stored as it is, or deleted.
        const QString why = exercise == ExerciseNow::Changed
                                ? QString::fromUtf8("l'esercizio è stato modificato")
                                : QString::fromUtf8("l'esercizio è stato eliminato");
        const QString text = whoAndWhen(run.start) + QString::fromUtf8(", non è stato finito, ma da "
                                                                       "allora ")
                             + why
                             + QString::fromUtf8(": non si può riprendere. Vuoi salvarlo così com'è ?");
        if (askQuestion(QStringLiteral("Attenzione!"), text, YesButton | NoAnswerButton,
                        DialogIcon::Warning)
            == YesButton) {
            auto model = modelOfRun(run);
            TesercizioSvolto record = recordOfRun(run);
            bool fileFailed = false;
            if (storeRunAs(owner, QStringLiteral("Salva con nome"), results, *model, record,
                           fileFailed)) {
                removeRunJournal(run.path);
                return RunOffer::Stored;
            }
            return RunOffer::Kept;
        }
        return deleteOrKeep(owner, run, false, device, serial) ? RunOffer::Deleted : RunOffer::Kept;
    }

    if (askPupil(owner, resumeQuestion(run.start), scanningAccess, device, profileOfRun(run.start).scan,
                 serial)
        == YesButton)
        return RunOffer::Resume;
    return deleteOrKeep(owner, run, scanningAccess, device, serial) ? RunOffer::Deleted : RunOffer::Kept;
}

void offerInterruptedRuns(QWidget* owner, const QString& dataRoot, TBottoneSeriale* serial,
                          const std::function<void(const InterruptedRun&)>& resume)
{
    const QList<InterruptedRun> runs = interruptedRuns(runJournalFolder(dataRoot));
    for (const InterruptedRun& run : runs) {
        // A run is asked about with the pupil's own device, when it can be used.
        const bool scanned = run.readable && run.start.scanningAccess && deviceReady(run.start, serial);
        if (run.readable && run.start.scanningAccess && !scanned)
            continue;    // kept for when the device is there
        const RunOffer offer = offerInterruptedRun(owner, dataRoot, run, scanned,
                                                   AccessDevice(run.start.accessDevice), serial);
        if (offer == RunOffer::Resume)
            resume(run);
    }
}
