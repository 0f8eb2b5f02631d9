#include "support/TestSupport.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QElapsedTimer>
#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTimer>
#include <QWidget>
#include <memory>

FakeClock::FakeClock(qint64 stepMs) : step(stepMs)
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
    now += step;
    return now;
}

namespace testsupport {

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

} // namespace testsupport
