#pragma once

#include "access/Uscans.h"
#include "model/PupilProfile.h"
#include "model/RunJournal.h"
#include "model/Uevidenz.h"

#include <functional>
#include <memory>

class QWidget;
class TBottoneSeriale;

// Runs that were not finished (a crash, a power cut, a closed laptop), as
// their journals (model/RunJournal.h) keep them: the questions that offer
// them, and the storing of a run whose exercise has changed since.

// The text model of an interrupted run: the exercise as it was run, with the
// pupil's answers rebuilt from the history (every sentence "non importante",
// then each step and reset in order) and the teacher's levels set aside.
std::unique_ptr<Tevidenziatore> modelOfRun(const InterruptedRun& run);
// Sets the answers of `model` (whose answers are hidden) from a history.
void replayHistory(Tevidenziatore& model, const QStringList& first, const QStringList& second,
                   const QStringList& third);
// The run record of an interrupted run (not finished, not named).
TesercizioSvolto recordOfRun(const InterruptedRun& run);

// The pupil profile of a run as its journal keeps it, and back: a profile
// that cannot be read back gives the defaults.
QString profileForJournal(const QString& pupilName, const PupilProfile& profile);
PupilProfile profileOfRun(const RunJournalStart& start);

// Whether the exercise of the run is still the one the run started on.
enum class ExerciseNow { Same, Changed, Deleted };
ExerciseNow exerciseNow(const InterruptedRun& run, const QString& exercisesFolder);

// The run name query of a finished or interrupted run, repeated until the
// run is written or the pupil gives up: the proposed name is the date and
// time now; an empty name says "Nessun nome specificato"; a name whose run
// exists and is not to be replaced asks again. True when written; `fileFailed`
// tells a file that refused the run from a pupil who gave up.
// The run goes into the results file of `resultsFolder`.
bool storeRunAs(QWidget* owner, const QString& title, const QString& resultsFolder,
                Tevidenziatore& model, TesercizioSvolto& run, bool& fileFailed);

// What the pupil answered about one interrupted run.
enum class RunOffer { Resume, Deleted, Stored, Kept };

// Asks about one interrupted run, with the pupil's access (questions scanned
// under scanning). A run that can go on: "L'esercizio «...» di ..., iniziato il
// ... alle ..., non è stato finito. Vuoi riprenderlo ?"; Sì gives Resume, No
// asks "Vuoi eliminarlo ?" (Sì deletes, No keeps it for next time). Damage
// is said first. A run whose exercise changed or was deleted can only be
// stored as it is, deleted or kept; a file with no readable run only deleted
// or kept.
// `dataRoot` holds the exercises and the results.
RunOffer offerInterruptedRun(QWidget* owner, const QString& dataRoot, const InterruptedRun& run,
                             bool scanningAccess, AccessDevice device, TBottoneSeriale* serial);

// The question text of a run that can go on.
QString resumeQuestion(const RunJournalStart& start);

// At the start of the program: offers every interrupted run in turn, each
// with the access it was run with; `resume` opens the run window on a run
// that the pupil wants to go on with.
void offerInterruptedRuns(QWidget* owner, const QString& dataRoot, TBottoneSeriale* serial,
                          const std::function<void(const InterruptedRun&)>& resume);
