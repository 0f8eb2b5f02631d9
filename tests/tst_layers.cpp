// The folders of src/ are layers: every #include points down or stays in its
// folder, and no folder reaches the main window. This test reads the sources
// and fails on an include that points up or sideways, on a cycle between
// folders and on a folder that has no place in the layers.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>
#include <functional>

namespace {

// The layers, bottom to top; folders on one line are side by side and do not
// include each other. main.cpp, at the top of src/, stands above them all.
const QList<QStringList> layers = {
    {"model"},                              // text model, file formats, services
    {"access", "sound"},                    // switches, joystick; sound devices
    {"speech"},                             // the speech engine and its set-up
    {"common"},                             // context and pieces shared by windows
    {"authoring", "execution", "results"},  // the windows of the three activities
    {"shell"},                              // the main window
};
const QString topFolder = QStringLiteral("(top)");

using Sources = QMap<QString, QString>;   // path under src/ -> text

int layerOf(const QString& folder)
{
    if (folder == topFolder)
        return int(layers.size());
    for (int i = 0; i < layers.size(); ++i) {
        if (layers.at(i).contains(folder))
            return i;
    }
    return -1;
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.indexOf(QLatin1Char('/'));
    return slash < 0 ? topFolder : path.left(slash);
}

struct Include {
    QString file;     // the including file, under src/
    QString target;   // as written
    QString from;     // folders
    QString to;
};

// Every include of one folder of src/ by a file of another.
QList<Include> crossIncludes(const Sources& sources)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*[\"<]([^\">]+)[\">]"),
                                            QRegularExpression::MultilineOption);
    QSet<QString> folders;
    for (auto it = sources.cbegin(); it != sources.cend(); ++it)
        folders.insert(folderOf(it.key()));
    QList<Include> found;
    for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
        auto matches = include.globalMatch(it.value());
        while (matches.hasNext()) {
            const QString target = matches.next().captured(1);
            const QString to = folderOf(target);
            const QString from = folderOf(it.key());
            if (to != topFolder && to != from && folders.contains(to))
                found.append({it.key(), target, from, to});
        }
    }
    return found;
}

// What breaks the layers: folders without a place, includes that do not
// point down, cycles between folders, the main window reached from below.
QStringList layerProblems(const Sources& sources)
{
    QStringList problems;
    QSet<QString> folders;
    for (auto it = sources.cbegin(); it != sources.cend(); ++it)
        folders.insert(folderOf(it.key()));
    QStringList sortedFolders(folders.cbegin(), folders.cend());
    sortedFolders.sort();
    for (const QString& folder : std::as_const(sortedFolders)) {
        if (layerOf(folder) < 0)
            problems << QStringLiteral("folder %1 has no place in the layers").arg(folder);
    }

    QMap<QString, QMap<QString, QString>> graph;   // from -> to -> one example
    for (const Include& inc : crossIncludes(sources)) {
        graph[inc.from].insert(inc.to, inc.file + QStringLiteral(" -> ") + inc.target);
        const int from = layerOf(inc.from);
        const int to = layerOf(inc.to);
        if (from >= 0 && to >= 0 && to >= from)
            problems << QStringLiteral("%1 includes %2 (%3 is not below %4)")
                            .arg(inc.file, inc.target, inc.to, inc.from);
    }

    // Cycles between folders, whatever the layer order says.
    QSet<QString> reported;
    std::function<void(QStringList&)> walk = [&](QStringList& path) {
        const auto next = graph.value(path.last());
        for (auto it = next.cbegin(); it != next.cend(); ++it) {
            const qsizetype at = path.indexOf(it.key());
            if (at >= 0) {
                QStringList cycle = path.mid(at);
                QStringList key = cycle;
                key.sort();
                if (!reported.contains(key.join(QLatin1Char(' ')))) {
                    reported.insert(key.join(QLatin1Char(' ')));
                    problems << QStringLiteral("folder cycle %1 -> %2 (e.g. %3)")
                                    .arg(cycle.join(QStringLiteral(" -> ")), it.key(), it.value());
                }
            } else {
                path.append(it.key());
                walk(path);
                path.removeLast();
            }
        }
    };
    for (auto it = graph.cbegin(); it != graph.cend(); ++it) {
        QStringList path{it.key()};
        walk(path);
    }

    // Only the main window's own folder and main.cpp know the main window.
    for (auto it = sources.cbegin(); it != sources.cend(); ++it) {
        const QString folder = folderOf(it.key());
        if (folder != QLatin1String("shell") && folder != topFolder
            && it.value().contains(QLatin1String("Tmaschera")))
            problems << QStringLiteral("%1 names the main window").arg(it.key());
    }
    return problems;
}

// The widget headers that `file` reaches, itself or through the files of
// src/ it includes ("file -> header"), so that code meant to run without
// windows stays without them.
QStringList widgetIncludes(const Sources& sources, const QString& file)
{
    static const QRegularExpression include(QStringLiteral("^\\s*#\\s*include\\s*[\"<]([^\">]+)[\">]"),
                                            QRegularExpression::MultilineOption);
    static const QRegularExpression widget(QStringLiteral(
        "^(QtWidgets(/.*)?|Q(Widget|Dialog|Application|AbstractButton|PushButton|ToolButton|Label|"
        "MainWindow|Menu|MenuBar|Frame|ScrollBar|LineEdit|PlainTextEdit|TextEdit|ComboBox|"
        "CheckBox|RadioButton|GroupBox|BoxLayout|HBoxLayout|VBoxLayout|GridLayout|Style))$"));
    QStringList found;
    QSet<QString> seen;
    QStringList pending{file};
    while (!pending.isEmpty()) {
        const QString current = pending.takeFirst();
        if (seen.contains(current))
            continue;
        seen.insert(current);
        auto matches = include.globalMatch(sources.value(current));
        while (matches.hasNext()) {
            const QString target = matches.next().captured(1);
            if (sources.contains(target))
                pending << target;
            else if (widget.match(target).hasMatch())
                found << current + QStringLiteral(" -> ") + target;
        }
    }
    return found;
}

Sources readSources(const QString& root)
{
    Sources sources;
    QDirIterator it(root, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            sources.insert(QDir(root).relativeFilePath(path), QString::fromUtf8(file.readAll()));
    }
    return sources;
}

} // namespace

class TestLayers : public QObject
{
    Q_OBJECT

private slots:
    void sourcesFollowTheLayers();
    void everyKindOfBreakIsFound();
    void runRulesHaveNoWidgets();
};

void TestLayers::sourcesFollowTheLayers()
{
    const Sources sources = readSources(QStringLiteral(SALIENTA_SOURCE_DIR "/src"));
    // The whole program is read: every folder and its files.
    QVERIFY(sources.contains(QStringLiteral("main.cpp")));
    QVERIFY(sources.contains(QStringLiteral("common/AppContext.h")));
    QVERIFY(sources.size() > 100);
    QVERIFY(crossIncludes(sources).size() > 50);
    const QStringList problems = layerProblems(sources);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

void TestLayers::everyKindOfBreakIsFound()
{
    const Sources base{
        {QStringLiteral("main.cpp"), QStringLiteral("#include \"shell/Umascher.h\"\n")},
        {QStringLiteral("model/Uevidenz.h"), QStringLiteral("#pragma once\n#include <QString>\n")},
        {QStringLiteral("common/Utabella.h"), QStringLiteral("#include \"model/Uevidenz.h\"\n")},
        {QStringLiteral("results/Urisult.h"), QStringLiteral("#include \"common/Utabella.h\"\n")},
        {QStringLiteral("execution/Uesegui.h"), QStringLiteral("#include \"common/Utabella.h\"\n")},
        {QStringLiteral("shell/Umascher.h"), QStringLiteral("#include \"results/Urisult.h\"\n"
                                                            "class Tmaschera;\n")},
    };
    QCOMPARE(layerProblems(base), QStringList());

    Sources upward = base;
    upward[QStringLiteral("model/Uevidenz.h")] += QStringLiteral("  #  include \"common/Utabella.h\"\n");
    QCOMPARE(layerProblems(upward),
             (QStringList{QStringLiteral("model/Uevidenz.h includes common/Utabella.h (common is "
                                         "not below model)"),
                          QStringLiteral("folder cycle common -> model -> common (e.g. "
                                         "model/Uevidenz.h -> common/Utabella.h)")}));

    Sources sideways = base;
    sideways[QStringLiteral("results/Urisult.h")] += QStringLiteral("#include \"execution/Uesegui.h\"\n");
    QCOMPARE(layerProblems(sideways), QStringList{QStringLiteral(
        "results/Urisult.h includes execution/Uesegui.h (execution is not below results)")});

    Sources mainWindow = base;
    mainWindow[QStringLiteral("execution/Uesegui.h")] += QStringLiteral("// Tmaschera::instance()\n");
    QCOMPARE(layerProblems(mainWindow),
             QStringList{QStringLiteral("execution/Uesegui.h names the main window")});

    Sources newFolder = base;
    newFolder[QStringLiteral("extra/Helper.h")] = QStringLiteral("#include \"model/Uevidenz.h\"\n");
    QCOMPARE(layerProblems(newFolder),
             QStringList{QStringLiteral("folder extra has no place in the layers")});

    // An include in a comment is not an include; a name that is no folder of
    // src/ (a library header) is not one of ours.
    Sources quiet = base;
    quiet[QStringLiteral("model/Uevidenz.h")] += QStringLiteral("// #include \"shell/Umascher.h\"\n"
                                                                "#include <QtCore/QString>\n");
    QCOMPARE(layerProblems(quiet), QStringList());
}

// The marking and feedback rules are tested without windows: neither they
// nor anything they include may need a widget.
void TestLayers::runRulesHaveNoWidgets()
{
    const Sources sources = readSources(QStringLiteral(SALIENTA_SOURCE_DIR "/src"));
    for (const char* file : {"execution/RunRules.h", "execution/RunRules.cpp"}) {
        QVERIFY2(sources.contains(QLatin1String(file)), file);
        QCOMPARE(widgetIncludes(sources, QLatin1String(file)), QStringList());
    }
    QVERIFY(!widgetIncludes(sources, QStringLiteral("execution/Uesegui.h")).isEmpty());

    Sources reached{
        {QStringLiteral("execution/RunRules.cpp"), QStringLiteral("#include \"model/Uevidenz.h\"\n")},
        {QStringLiteral("model/Uevidenz.h"), QStringLiteral("#include <QFont>\n#include <QtWidgets/QLabel>\n")},
    };
    QCOMPARE(widgetIncludes(reached, QStringLiteral("execution/RunRules.cpp")),
             QStringList{QStringLiteral("model/Uevidenz.h -> QtWidgets/QLabel")});
}

QTEST_MAIN(TestLayers)
#include "tst_layers.moc"
