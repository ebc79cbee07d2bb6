// Measures the build container and the platform build step, now and in an earlier build tree,
// each beside its reference measured in the same run, each figure the minimum of several runs:
//
// - one start of the build container (run-kelvara-build true) against a single-bind bwrap;
// - the platform build step of the example "hello" through the real IDE (kelvara-ide --build,
//   from "Running steps for project" to the sign step's first line) against rpmbuild of the
//   same spec file through the run command;
// - the same for a spec file whose %build prints many lines, against a pipe.
//
// The references run with the tools of BUILD_DIR; the earlier tree is measured against them too.
//
// Usage: bench_container BUILD_DIR [--baseline BUILD_DIR] [--runs N] [--lines N]

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
#include <sys/wait.h>
#include <unistd.h>

namespace {

QTextStream out(stdout);

[[noreturn]] void fail(const QString &message)
{
    QTextStream(stderr) << "bench_container: " << message << '\n';
    std::exit(1);
}

// A build tree with a demo SDK made by its own kelvara-sdk.
struct Tree
{
    QString label;
    QString buildDir;
    QString sdk;

    QString runCommand() const { return sdk + "/bin/run-kelvara-build"; }
    QString workspace() const { return sdk + "/workspace"; }
};

// Seconds from start to end of a command whose output is thrown away; fork and exec directly,
// so that the harness adds as little as possible to a run of a few milliseconds.
double timeCommand(const QStringList &command, const QString &workingDir)
{
    QList<QByteArray> words;
    for (const QString &word : command)
        words << QFile::encodeName(word);
    std::vector<char *> argv;
    for (QByteArray &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    const QByteArray folder = QFile::encodeName(workingDir);

    QElapsedTimer timer;
    timer.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.constData()) != 0)
            ::_exit(126);
        ::freopen("/dev/null", "w", stdout);
        ::freopen("/dev/null", "w", stderr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail(QString("%1 failed").arg(command.join(' ')));
    return seconds;
}

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
        fail(QString("%1 did not show \"%2\" then \"%3\"")
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
                     const QList<Tree> &trees,
                     const std::function<double()> &reference,
                     const std::function<double(const Tree &)> &work = {})
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

QString shortFigure(double seconds)
{
    if (seconds < 0.1)
        return QString::number(seconds * 1000, 'f', 1) + " ms";
    return QString::number(seconds, 'f', 3) + " s";
}

void printRow(const QString &work,
              const QList<double> &figures,
              double reference,
              const QString &what)
{
    out << qSetFieldWidth(46) << Qt::left << work << qSetFieldWidth(0);
    for (double figure : figures) {
        out << qSetFieldWidth(11) << Qt::right << shortFigure(figure) << qSetFieldWidth(0) << ' '
            << qSetFieldWidth(7) << QString::number(figure / reference, 'f', 2) + 'x'
            << qSetFieldWidth(0) << "  ";
    }
    out << shortFigure(reference) << "  (" << what << ")\n";
    out.flush();
}

void printHeader(const QList<Tree> &trees)
{
    out << qSetFieldWidth(46) << Qt::left << "Work" << qSetFieldWidth(0);
    for (const Tree &tree : trees)
        out << qSetFieldWidth(21) << Qt::right << tree.label + " (x ref)" << qSetFieldWidth(0)
            << "  ";
    out << "reference\n";
}

// A copy of the example in the SDK's workspace whose %build prints the given number of lines.
void writeLinesProject(const Tree &tree, int lines)
{
    QFile example(tree.workspace() + "/hello/hello.spec");
    if (!example.open(QIODevice::ReadOnly))
        fail("cannot read " + example.fileName());
    QByteArray spec = example.readAll();
    spec.replace("Name:       hello", "Name:       lines");
    spec.replace("%build\n", "%build\nseq 1 " + QByteArray::number(lines) + "\n");
    QDir().mkpath(tree.workspace() + "/lines");
    QFile file(tree.workspace() + "/lines/lines.spec");
    if (!file.open(QIODevice::WriteOnly) || file.write(spec) != spec.size())
        fail("cannot write " + file.fileName());
}

Tree makeTree(const QString &label, const QString &buildDir, const QString &tempDir, int lines)
{
    const Tree tree{label, QDir(buildDir).absolutePath(), tempDir + '/' + label};
    QProcess sdk;
    sdk.setProcessChannelMode(QProcess::MergedChannels);
    sdk.start(tree.buildDir + "/bin/kelvara-sdk", {"create", tree.sdk});
    if (!sdk.waitForFinished(-1) || sdk.exitCode() != 0)
        fail("kelvara-sdk create failed: " + QString::fromLocal8Bit(sdk.readAll()));
    writeLinesProject(tree, lines);
    return tree;
}

double platformStep(const Tree &tree, const QString &project, const QString &settings)
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

double rpmbuildThroughRunCommand(const Tree &tree, const QString &project)
{
    const QString projectDir = tree.workspace() + '/' + project;
    return timeCommand({tree.runCommand(),
                        "rpmbuild",
                        "-bb",
                        "--define",
                        "_topdir " + tree.workspace() + "/bench-rpmbuild",
                        "--define",
                        "_sourcedir " + projectDir,
                        projectDir + '/' + project + ".spec"},
                       projectDir);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    QString baseline;
    int runs = 3;
    int lines = 100000;
    for (int i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == "--baseline")
            baseline = arguments.takeAt(i + 1);
        else if (arguments.at(i) == "--runs")
            runs = std::max(3, arguments.takeAt(i + 1).toInt());
        else if (arguments.at(i) == "--lines")
            lines = arguments.takeAt(i + 1).toInt();
        else
            continue;
        arguments.removeAt(i--);
    }
    if (arguments.size() != 1 || lines <= 0) {
        fail("Usage: bench_container BUILD_DIR [--baseline BUILD_DIR] [--runs N] [--lines N]");
    }

    QTemporaryDir tempDir(QDir::tempPath() + "/bench-container-XXXXXX");
    QList<Tree> trees{makeTree("now", arguments.first(), tempDir.path(), lines)};
    if (!baseline.isEmpty())
        trees << makeTree("before", baseline, tempDir.path(), lines);

    out << "Each figure is the minimum of " << runs << " runs (container starts: " << 10 * runs
        << "), taken in turns with its reference.\n\n";
    printHeader(trees);

    const Minima starts = minimaInTurns(
        10 * runs,
        trees,
        [] {
            return timeCommand({"bwrap", "--ro-bind", "/", "/", "true"}, "/");
        },
        [](const Tree &tree) {
            return timeCommand({tree.runCommand(), "true"}, tree.workspace());
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
            [&](const Tree &tree) {
                return platformStep(tree, project, tempDir.path() + "/settings-" + tree.label);
            });
        const QString work = project == "hello"
                                 ? QString("platform build step of hello")
                                 : QString("%1 lines through the platform build step").arg(lines);
        printRow(work,
                 steps.figures,
                 steps.reference,
                 "rpmbuild of the same spec through the run command");
        if (project == "lines") {
            const Minima pipe = minimaInTurns(runs, {}, [&] {
                return timeCommand({"sh", "-c", QString("seq 1 %1 | cat").arg(lines)}, "/");
            });
            printRow(QString(), steps.figures, pipe.reference, "a pipe: seq | cat");
        }
    }
    return 0;
}
