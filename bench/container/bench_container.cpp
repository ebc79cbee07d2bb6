// Measures the build container and the platform build step, now and in an earlier build tree,
// each beside its reference measured in the same run, each figure the minimum of several runs:
//
// - one start of the build container (run-kelvara-build true) against a single-bind bwrap;
// - the platform build step of the example "hello" through the real IDE (kelvara-ide --build,
//   from "Running steps for project" to the sign step's first line) against rpmbuild of the
//   same project through the run command;
// - the same for a project whose %build prints many lines, against a pipe.
//
// The references run with the tools of BUILD_DIR; the earlier tree is measured against them too.
//
// Usage: bench_container BUILD_DIR [--baseline BUILD_DIR] [--runs N] [--lines N]

#include "benchtree.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

QTextStream out(stdout);

// Seconds between the first output line holding startMarker and the first holding endMarker.
double timeBetweenLines(const QStringList &command,
                        const QString &startMarker,
                        const QString &endMarker)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(command.first(), command.mid(1));
    QElapsedTimer timer;
    timer.start();
    qint64 start = -1;
    qint64 end = -1;
    while (end < 0 && (process.canReadLine() || process.waitForReadyRead(-1))) {
        while (end < 0 && process.canReadLine()) {
            const QString line = QString::fromUtf8(process.readLine());
            if (start < 0 && line.contains(startMarker))
                start = timer.nsecsElapsed();
            else if (start >= 0 && line.contains(endMarker))
                end = timer.nsecsElapsed();
        }
    }
    process.waitForFinished(-1);
    if (end < 0 || process.exitCode() != 0)
        benchFail(QString("%1 did not show \"%2\" then \"%3\"")
                      .arg(command.join(' '), startMarker, endMarker));
    return (end - start) / 1e9;
}

struct Minima
{
    double reference = std::numeric_limits<double>::max();
    QList<double> figures;
};

// Measures the reference and then the work in each tree, round after round, keeping the minimum
// of each, so that a change in the machine's load touches them all alike.
Minima minimaInTurns(int rounds,
                     const QList<BenchTree> &trees,
                     const std::function<double()> &reference,
                     const std::function<double(const BenchTree &)> &work = {})
{
    Minima minima;
    for (int i = 0; i < trees.size(); ++i)
        minima.figures << std::numeric_limits<double>::max();
    for (int round = 0; round < rounds; ++round) {
        minima.reference = std::min(minima.reference, reference());
        for (int i = 0; work && i < trees.size(); ++i)
            minima.figures[i] = std::min(minima.figures.at(i), work(trees.at(i)));
    }
    return minima;
}

void printRow(const QString &work,
              const QList<double> &figures,
              double reference,
              const QString &what)
{
    out << qSetFieldWidth(46) << Qt::left << work << qSetFieldWidth(0);
    for (double figure : figures) {
        out << qSetFieldWidth(11) << Qt::right << figureText(figure) << qSetFieldWidth(0) << ' '
            << qSetFieldWidth(7) << QString::number(figure / reference, 'f', 2) + 'x'
            << qSetFieldWidth(0) << "  ";
    }
    out << figureText(reference) << "  (" << what << ")\n";
    out.flush();
}

// A copy of the example in the SDK's workspace whose %build prints the given number of lines.
void writeLinesProject(const BenchTree &tree, int lines)
{
    QFile example(tree.workspace() + "/hello/hello.spec");
    if (!example.open(QIODevice::ReadOnly))
        benchFail("cannot read " + example.fileName());
    QByteArray recipe = example.readAll();
    recipe.replace("Name:       hello", "Name:       lines");
    recipe.replace("%build\n", "%build\nseq 1 " + QByteArray::number(lines) + "\n");
    QDir().mkpath(tree.workspace() + "/lines");
    QFile file(tree.workspace() + "/lines/lines.spec");
    if (!file.open(QIODevice::WriteOnly) || file.write(recipe) != recipe.size())
        benchFail("cannot write " + file.fileName());
}

BenchTree makeTree(const QString &label, const QString &buildDir, const QString &tempDir, int lines)
{
    const BenchTree tree = BenchTree::create(label, buildDir, tempDir);
    writeLinesProject(tree, lines);
    return tree;
}

double platformStep(const BenchTree &tree, const QString &project, const QString &settings)
{
    return timeBetweenLines({tree.buildDir + "/bin/kelvara-ide",
                             "-settingspath",
                             settings,
                             "--sdk",
                             tree.sdk,
                             "--build",
                             tree.workspace() + '/' + project},
                            "Running steps for project",
                            "Signing RPM package");
}

double rpmbuildThroughRunCommand(const BenchTree &tree, const QString &project)
{
    const QString projectDir = tree.workspace() + '/' + project;
    return runCommand({tree.runCommand(),
                       "rpmbuild",
                       "-bb",
                       "--define",
                       "_topdir " + tree.workspace() + "/bench-rpmbuild",
                       "--define",
                       "_sourcedir " + projectDir,
                       projectDir + '/' + project + ".spec"},
                      projectDir)
        .seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const QMap<QString, QString> options = takeOptions(arguments,
                                                       {"--baseline", "--runs", "--lines"});
    const QString baseline = options.value("--baseline");
    const int runs = std::max(3, options.value("--runs", "3").toInt());
    const int lines = options.value("--lines", "100000").toInt();
    if (arguments.size() != 1 || lines <= 0)
        benchFail("Usage: bench_container BUILD_DIR [--baseline BUILD_DIR] [--runs N] [--lines N]");

    QTemporaryDir tempDir(QDir::tempPath() + "/bench-container-XXXXXX");
    QList<BenchTree> trees{makeTree("now", arguments.first(), tempDir.path(), lines)};
    if (!baseline.isEmpty())
        trees << makeTree("before", baseline, tempDir.path(), lines);

    out << "Each figure is the minimum of " << runs << " runs (container starts: " << 10 * runs
        << "), taken in turns with its reference.\n\n";
    printTableHeader(out, trees, 46, 21);

    const Minima starts = minimaInTurns(
        10 * runs,
        trees,
        [] {
            return runCommand({"bwrap", "--ro-bind", "/", "/", "true"}, "/").seconds;
        },
        [](const BenchTree &tree) {
            return runCommand({tree.runCommand(), "true"}, tree.workspace()).seconds;
        });
    printRow("one container start (run-kelvara-build true)",
             starts.figures,
             starts.reference,
             "bwrap --ro-bind / / true");

    for (const QString &project : {QString("hello"), QString("lines")}) {
        const Minima steps = minimaInTurns(
            runs,
            trees,
            [&] { return rpmbuildThroughRunCommand(trees.first(), project); },
            [&](const BenchTree &tree) {
                return platformStep(tree, project, tempDir.path() + "/settings-" + tree.label);
            });
        const QString work = project == "hello"
                                 ? QString("platform build step of hello")
                                 : QString("%1 lines through the platform build step").arg(lines);
        printRow(work,
                 steps.figures,
                 steps.reference,
                 "rpmbuild of the same project through the run command");
        if (project == "lines") {
            const Minima pipe = minimaInTurns(runs, {}, [&] {
                return runCommand({"sh", "-c", QString("seq 1 %1 | cat").arg(lines)}, "/").seconds;
            });
            printRow(QString(), steps.figures, pipe.reference, "a pipe: seq | cat");
        }
    }
    return 0;
}
