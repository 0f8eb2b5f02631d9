#include "authoring/SourceReader.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {

int progressDelay = 400;
std::function<void(int)> stepHook;

QString progressLabel(const QString& name, const ReadProgress& progress, bool pages)
{
    const int done = progress.done.load();
    const int total = progress.total.load();
    if (pages && total > 0)
        return QStringLiteral("Lettura di %1: pagina %2 di %3").arg(name).arg(done).arg(total);
    return QStringLiteral("Lettura di %1...").arg(name);
}

} // namespace

void setProgressDelayForTests(int milliseconds)
{
    progressDelay = milliseconds;
}

void setReadStepHookForTests(std::function<void(int done)> hook)
{
    stepHook = std::move(hook);
}

SourceText readSourceShowingProgress(QWidget* parent, const QString& path)
{
    auto progress = std::make_shared<ReadProgress>();
    progress->afterStep = stepHook;
    auto result = std::make_shared<SourceText>();
    std::unique_ptr<QThread> thread(QThread::create([progress, result, path]() {
        *result = readSource(path, progress.get());
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();

    // A short reading ends without a window; the clicks and keys of that
    // moment wait for it.
    QTimer::singleShot(progressDelay, &loop, &QEventLoop::quit);
    if (!thread->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);

    if (!thread->isFinished()) {
        const QString name = QFileInfo(path).fileName();
        const bool pages = QFileInfo(path).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0;
        QProgressDialog window(parent);
        window.setObjectName(QStringLiteral("progressoLettura"));
        window.setWindowTitle(QStringLiteral(" Lettura del file"));
        window.setWindowModality(Qt::ApplicationModal);
        window.setCancelButtonText(QStringLiteral("Annulla"));
        window.setAutoClose(false);
        window.setAutoReset(false);
        window.setMinimumDuration(0);
        window.setRange(0, 0);
        window.setLabelText(progressLabel(name, *progress, pages));
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &window, [&]() {
            const int total = progress->total.load();
            if (total > 0 && window.maximum() != total)
                window.setRange(0, total);
            if (total > 0)
                window.setValue(qMin(progress->done.load(), total));
            window.setLabelText(progressLabel(name, *progress, pages));
        });
        // Annulla (or Esc, or the close box): the reading stops at its next
        // step, a page or a few thousand elements, which is waited for.
        QObject::connect(&window, &QProgressDialog::canceled, &loop, [&]() {
            progress->cancelled = true;
            loop.quit();
        });
        poll.start(100);
        window.show();
        if (!thread->isFinished())
            loop.exec();
        poll.stop();
    }
    thread->wait();
    return *result;
}
