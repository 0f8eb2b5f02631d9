#include "support/TestSupport.h"

#include "model/CheckedLines.h"
#include "model/Longname.h"
#include "model/Token.h"
#include "model/Uevidenz.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QStringListModel>
#include <QValidator>
#include <QTest>
#include <QElapsedTimer>
#include <QFile>
#include <QFontMetrics>
#include <QStringList>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTimer>
#include <QWidget>
#include <memory>

FakeClock::FakeClock(qint64 stepMs, bool fires) : step(stepMs), firing(fires)
{
    previous = setMsClock(this);
}

FakeClock::~FakeClock()
{
    setMsClock(previous);
}

qint64 FakeClock::milliseconds()
{
    ++reads;
    current += step;
    return current;
}

void FakeClock::wait(qint64 ms)
{
    // A clock that moves on only when told (no step) would never end a busy
    // wait: it moves on by the wait's length, as a firing one does.
    if (!firing && step > 0) {
        MsClock::wait(ms);
        return;
    }
    // Events are not dispatched during a busy wait: the timers that come due
    // meanwhile fire afterwards, at the next advance().
    ++reads;
    current += qMax<qint64>(ms, 0);
}

void FakeClock::advance(qint64 ms)
{
    const qint64 target = current + ms;
    if (firing) {
        while (ClockTimer* timer = ClockTimer::firstDueBy(target)) {
            current = qMax(current, timer->dueAt());
            timer->fire();
        }
    }
    current = qMax(current, target);
}

void FakeClock::setDateTime(const QDateTime& start)
{
    dateBase = start;
    dateBaseAt = current;
    dateFixed = false;
}

QDateTime FakeClock::dateTime()
{
    if (!dateBase.isValid())
        return MsClock::dateTime();
    return dateFixed ? dateBase : dateBase.addMSecs(current - dateBaseAt);
}

namespace testsupport {

bool writeStoryExercise(const QString& dataRoot, const QString& longName, const QList<int>& levels)
{
    QStringList lines;
    for (int i = 0; i < levels.size(); ++i)
        lines << tagLineFor(ImportanceLevel(levels.at(i)))
              << QStringLiteral("Frase numero %1 della storia.").arg(i + 1);
    Tparametri params;
    params.mode = fromExercise;
    params.source = lines;
    params.compito = QStringLiteral("Evidenzia le frasi importanti.");
    Tevidenziatore model(params);
    const QString folder = dataRoot + QStringLiteral("esercizi/");
    return model.saveExercise(folder, fileNameFor(folder, longName));
}

AppContext makeContext(const QString& programFolder, const QString& dataRoot)
{
    auto withSlash = [](const QString& folder) {
        return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    };
    AppContext context;
    context.programFolder = withSlash(programFolder);
    context.dataRoot = withSlash(dataRoot.isEmpty() ? programFolder : dataRoot);
    context.recoveryFolder = withSlash(programFolder) + QStringLiteral("utente/recupero/");
    return context;
}

QString workDigest(const QString& name, const QString& task, int current, const QStringList& lines)
{
    const QString all = name + QLatin1Char('\x01') + task + QLatin1Char('\x01') + QString::number(current)
                        + QLatin1Char('\x01') + lines.join(QLatin1Char('\x02'));
    return QString::number(fnv1a(all.toUtf8()), 16);
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

QByteArray toCp1252(const QString& text)
{
    QStringEncoder encoder("windows-1252");
    return encoder.encode(text);
}

QString fromCp1252(const QByteArray& bytes)
{
    QStringDecoder decoder("windows-1252");
    return decoder.decode(bytes);
}

QStringList referenceLayout(const QStringList& source, int width, const QFontMetrics& fm,
                            int* height)
{
    QStringList out;
    QString current;
    int display = 0;
    int sentences = 0;
    const auto flush = [&]() {
        if (!current.isEmpty()) {
            out << current;
            ++display;
        }
        current.clear();
    };
    TTokenizer words(QLatin1Char(' '), QString());
    for (const QString& line : source) {
        if (line.contains(QLatin1Char('~'))) {
            ++sentences;
            flush();
            out << line;
            continue;
        }
        words.setText(line);
        while (words.hasMoreTokens()) {
            const QString word = words.nextToken();
            const QString candidate = current.isEmpty() ? word : current + QLatin1Char(' ') + word;
            if (fm.horizontalAdvance(candidate) + 30 < width) {
                current = candidate;
            } else {
                flush();
                current = word;
            }
        }
    }
    flush();
    if (height)
        *height = (fm.height() + 12) * display + 10 * sentences + 10;
    return out;
}

void whenModalShown(std::function<void(QWidget*)> action, int timeoutMs)
{
    auto timer = new QTimer(qApp);
    auto elapsed = std::make_shared<QElapsedTimer>();
    elapsed->start();
    QWidget* before = QApplication::activeModalWidget();
    QObject::connect(timer, &QTimer::timeout, timer, [=]() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal != before && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
            // A check that failed inside `action` left the window open: close
            // it, so the test reports its failure instead of waiting forever.
            if (QTest::currentTestFailed() && modal->isVisible()) {
                if (auto dialog = qobject_cast<QDialog*>(modal))
                    dialog->reject();
                else
                    modal->close();
            }
        } else if (elapsed->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

FontDialogSeen readFontDialogAndAccept(QWidget* modal, const QStringList& typed)
{
    FontDialogSeen seen;
    auto dialog = qobject_cast<QFontDialog*>(modal);
    if (!dialog) {
        modal->close();
        return seen;
    }
    seen.found = true;
    seen.current = dialog->currentFont();
    // The three lists (family, style, size) and the size field, which alone
    // checks what is typed into it.
    QList<QStringList> lists;
    for (QListView* view : dialog->findChildren<QListView*>()) {
        if (auto model = qobject_cast<QStringListModel*>(view->model())) {
            const QModelIndex at = view->currentIndex();
            lists << QStringList{at.isValid() ? model->stringList().value(at.row()) : QString()}
                         + model->stringList();
        }
    }
    for (const QStringList& list : std::as_const(lists)) {
        bool numbers = list.size() > 1;
        for (qsizetype i = 1; i < list.size() && numbers; ++i)
            list.at(i).toInt(&numbers);
        if (numbers) {
            for (qsizetype i = 1; i < list.size(); ++i)
                seen.sizes << list.at(i).toInt();
        } else if (seen.family.isEmpty()) {
            seen.family = list.first();
        } else {
            seen.style = list.first();
        }
    }
    for (QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
        if (!edit->validator())
            continue;
        seen.size = edit->text();
        for (QString text : typed) {
            int position = int(text.size());
            seen.typedTaken << (edit->validator()->validate(text, position) != QValidator::Invalid);
        }
    }
    if (auto box = dialog->findChild<QDialogButtonBox*>())
        box->button(QDialogButtonBox::Ok)->click();
    else
        dialog->accept();
    return seen;
}

} // namespace testsupport
