// Speed of the windows that open a run: the pupil's set-up dialog listing the
// pupils of a results archive of 10,000 runs, the exercise chooser on a folder
// of 500 exercises, and the feedback window with its picture and script.
//
//   bench_runsetup [runs]      (default 10000)

#include "common/AppContext.h"
#include "execution/Uanimaf.h"
#include "execution/Ucaricae.h"
#include "execution/Usceltae.h"
#include "sound/SoundPlayer.h"
#include "model/Funzioni.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <functional>

namespace {

class SilentPlayer final : public SoundPlayer
{
public:
    void play(const QString&) override {}
    void stop() override {}
};

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Best of `rounds` timings of `work`, in milliseconds.
double best(int rounds, const std::function<void()>& work)
{
    double fastest = 1e9;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        fastest = std::min(fastest, timer.nsecsElapsed() / 1e6);
    }
    return fastest;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    QTemporaryDir folder;
    AppContext context;
    context.dataRoot = folder.path() + QLatin1Char('/');
    context.programFolder = QApplication::applicationDirPath() + QStringLiteral("/../");
    QDir().mkpath(context.dataRoot + QStringLiteral("risult"));
    QDir().mkpath(context.dataRoot + QStringLiteral("esercizi"));
    setSoundPlayerMaker([] { return std::make_unique<SilentPlayer>(); });

    for (int pupils : {40, runs}) {
        QByteArray archive;
        for (int run = 0; run < runs; ++run) {
            archive += QStringLiteral("[identificatore=ALUNNO%1^PROVA%2]\r\n[informazioni]\r\nNOME=ALUNNO%1\r\n[testo]\r\n")
                           .arg(run % pupils)
                           .arg(run)
                           .toLatin1();
            for (int line = 0; line < 40; ++line)
                archive += "~nonImportante~\r\nUna frase di prova del testo.\r\n";
            archive += "[storia]\r\n0|1|messaggio\r\n";
        }
        writeFile(context.dataRoot + QStringLiteral("risult/risult.sal"), archive);
        int listed = 0;
        const double ms = best(3, [&] {
            TsceltaEs setUp(context);
            listed = setUp.comboNomi->count();
        });
        std::printf("set-up dialog, %d runs (%.1f MB), %d pupils listed: %.1f ms\n", runs,
                    archive.size() / 1e6, listed, ms);
    }

    QByteArray table;
    for (int i = 0; i < 500; ++i) {
        const QString file = QStringLiteral("ES%1.S01").arg(i, 3, 10, QLatin1Char('0'));
        writeFile(context.dataRoot + QStringLiteral("esercizi/") + file, "[compito]\r\nx\r\n[testo]\r\n");
        table += QStringLiteral("%1=Esercizio numero %2\r\n").arg(file).arg(499 - i).toLatin1();
    }
    writeFile(context.dataRoot + QStringLiteral("esercizi/LONGNAME.LST"), table);
    int exercises = 0;
    const double chooser = best(3, [&] {
        TcaricaE dialog(context);
        exercises = dialog.ComboEsercizi->count();
    });
    std::printf("exercise chooser, %d exercises: %.1f ms\n", exercises, chooser);

    FeedbackRequest request;
    request.kind = FeedbackKind::giuDis;
    request.offeredButtons = offerOk;
    request.customSize = true;
    request.windowWidth = 640;
    request.windowHeight = 480;
    request.tableWidth = 390;
    const double feedback = best(5, [&] {
        TanimazioneForm form(request, context);
        form.show();
        QTest::mouseClick(form.okBut, Qt::LeftButton);
    });
    std::printf("feedback window with its picture (%s), shown and answered: %.1f ms\n",
                QFile::exists(context.programFolder + QStringLiteral("animazio/giuDis.gif")) ? "found" : "missing",
                feedback);
    return 0;
}
