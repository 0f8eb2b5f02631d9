#include "authoring/Urecupero.h"

#include "model/DialogService.h"

#include <QFileInfo>
#include <QTimer>

namespace {

int mirrorDelay = 1000;

} // namespace

void Trecupero::setDelayForTests(int milliseconds)
{
    mirrorDelay = milliseconds;
}

Trecupero::Trecupero(const QString& recoveryFolder, const QString& workKind,
                     std::function<RecoveredWork()> workSnapshot, QObject* parent)
    : QObject(parent), timerRecupero(new QTimer(this)), folder(recoveryFolder), kind(workKind),
      snapshot(std::move(workSnapshot))
{
    timerRecupero->setObjectName(QStringLiteral("timerRecupero"));
    timerRecupero->setSingleShot(true);
    connect(timerRecupero, &QTimer::timeout, this, &Trecupero::mirror);
}

Trecupero::~Trecupero()
{
    if (!recovery)
        return;
    if (!modified || declined) {
        discard();
        return;
    }
    recovery->mirrorNow(snapshot());
}

void Trecupero::workChanged(bool isModified)
{
    modified = isModified;
    declined = false;
    if (folder.isEmpty())
        return;
    if (!modified) {
        discard();
        return;
    }
    // Not restarted by the changes that follow: the work is on the disk at
    // most one delay (and one write) after any change.
    if (!timerRecupero->isActive())
        timerRecupero->start(mirrorDelay);
}

void Trecupero::mirror()
{
    timerRecupero->stop();
    if (folder.isEmpty() || !modified)
        return;
    if (!recovery)
        recovery = std::make_unique<RecoveryFile>(folder, kind);
    if (recovery->takeFailure() && !failureTold) {
        failureTold = true;
        showMessage(QString::fromUtf8("Non è stato possibile scrivere una copia di sicurezza del "
                                      "lavoro nella cartella ")
                    + folder
                    + QString::fromUtf8(": se il programma si chiude per un guasto, le modifiche "
                                        "non salvate andranno perse. Salva spesso il lavoro."));
    }
    recovery->mirror(snapshot());
}

void Trecupero::discard()
{
    timerRecupero->stop();
    if (recovery) {
        recovery->discard();
        recovery.reset();
    }
}

bool Trecupero::offer(const std::function<void(const RecoveredWork&)>& restore, const QString& unnamed)
{
    if (folder.isEmpty())
        return false;
    const QList<RecoveredWork> found = abandonedWork(folder, kind);
    for (const RecoveredWork& work : found) {
        if (work.readable) {
            // A text is named by its file, an exercise by its long name.
            const QString name = work.name.isEmpty() ? unnamed
                                 : kind == recoveryText ? QFileInfo(work.name).fileName()
                                                        : work.name;
            const QString question =
                QString::fromUtf8("È stato trovato un lavoro non salvato del ")
                + work.saved.toString(QStringLiteral("dd/MM/yyyy")) + QStringLiteral(" alle ")
                + work.saved.toString(QStringLiteral("HH:mm")) + QString::fromUtf8(" («") + name
                + QString::fromUtf8("»). Vuoi recuperarlo ?");
            if (askQuestion(QStringLiteral("Attenzione!"), question, YesButton | NoAnswerButton,
                            DialogIcon::Warning)
                == YesButton) {
                restore(work);
                // The work is in this window's own file before the old one goes.
                workChanged(true);
                mirror();
                recovery->waitForWriter();
                if (recovery->mirrorsWritten() > 0)
                    removeRecoveryFile(work.path);
                if (!work.damage.isEmpty())
                    showMessage(work.damage);
                return true;
            }
        } else {
            showMessage(work.damage);
        }
        if (askQuestion(QStringLiteral("Attenzione!"), QStringLiteral("Vuoi eliminarlo ?"),
                        YesButton | NoAnswerButton, DialogIcon::Warning)
            == YesButton)
            removeRecoveryFile(work.path);
    }
    return false;
}
