// Measures what output costs in the IDE, now and in an earlier build tree, each figure beside its
// reference measured in the same run, each the minimum of several runs:
//
// - N lines of tool output through the sign step to the panes: a headless build of the example
//   "hello" whose pkgseal (scripted) prints N lines when it signs. The figure is the time from the
//   start of that pkgseal to the end of the IDE, less the same for no lines; the reference is the
//   same N lines through a pipe. Beside it, the IDE's peak memory.
// - The headless build of "hello" (kelvara-ide --build), start to end, against rpmbuild,
//   pkgseal sign and pkgseal dump of the same project through the run command.
//
// Usage: bench_output BUILD_DIR [--baseline BUILD_DIR] [--runs N] [--baseline-lines N]
// The earlier tree runs the line counts up to --baseline-lines only (default 20000): before the
// output was batched, 100,000 lines took minutes.

#include "benchtree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <limits>

#include <ctime>

namespace {

QTextStream out(stdout);

const QList<int> lineCounts{0, 10000, 20000, 50000, 100000};

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        benchFail("cannot write " + path);
}

struct Measure
{
    double seconds = std::numeric_limits<double>::max(); // from start, or from the marker line
    long peakKiB = std::numeric_limits<long>::max();

    void keepLower(const Measure &other)
    {
        seconds = std::min(seconds, other.seconds);
        peakKiB = std::min(peakKiB, other.peakKiB);
    }
};

qint64 wallClockNs()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Runs a command and measures its peak memory and the time from its start, or from the wall-clock
// time in startFile once the command has ended, to its end.
Measure run(const QStringList &command, const QString &workingDir, const QString &startFile = {})
{
    const CommandRun commandRun = runCommand(command, workingDir);
    if (startFile.isEmpty())
        return {commandRun.seconds, commandRun.peakKiB};
    const qint64 end = wallClockNs();
    QFile start(startFile);
    if (!start.open(QIODevice::ReadOnly))
        benchFail(QString("%1 never started %2").arg(command.join(' '), startFile));
    return {(end - start.readAll().trimmed().toLongLong()) / 1e9, commandRun.peakKiB};
}

// A build tree with a demo SDK made by its own kelvara-sdk, and a second run command whose
// pkgseal prints the lines of a file when it signs and nothing else; all other commands go to the
// real build container.
struct Tree : BenchTree
{
    QString scriptedRunCommand() const { return sdk + "/bin/run-scripted-pkgseal"; }
    QString toolOutput() const { return sdk + "/tool-output.txt"; }
    QString signStart() const { return sdk + "/sign-start.txt"; }
    QString settings() const { return sdk + "/settings"; }

    Measure headlessBuild(const QString &startFile = {}) const
    {
        return run({buildDir + "/bin/kelvara-ide",
                    "-settingspath",
                    settings(),
                    "--sdk",
                    sdk,
                    "--build",
                    workspace() + "/hello"},
                   workspace(),
                   startFile);
    }

    void useRunCommand(const QString &runCommand) const
    {
        QFile file(sdk + "/sdk.json");
        if (!file.open(QIODevice::ReadOnly))
            benchFail("cannot read " + file.fileName());
        QJsonObject config = QJsonDocument::fromJson(file.readAll()).object();
        file.close();
        QJsonArray containers = config.value("containers").toArray();
        QJsonObject first = containers.at(0).toObject();
        first.insert("runCommand", runCommand);
        containers[0] = first;
        config.insert("containers", containers);
        writeFile(file.fileName(), QJsonDocument(config).toJson());
    }
};

Tree makeTree(const QString &label, const QString &buildDir, const QString &tempDir)
{
    const Tree tree{BenchTree::create(label, buildDir, tempDir)};
    writeFile(tree.scriptedRunCommand(),
              QString("#!/bin/sh\n"
                      "if [ \"$1\" = pkgseal ]; then\n"
                      "    [ \"$2\" = sign ] || exit 0\n"
                      "    date +%s%N > '%1'\n"
                      "    exec cat '%2'\n"
                      "fi\n"
                      "exec '%3' \"$@\"\n")
                  .arg(tree.signStart(), tree.toolOutput(), tree.runCommand())
                  .toUtf8());
    QFile::setPermissions(tree.scriptedRunCommand(), QFile::ReadOwner | QFile::ExeOwner);
    return tree;
}

QByteArray toolLines(int count)
{
    QByteArray lines;
    for (int i = 1; i <= count; ++i)
        lines += "/workspace/build-hello-Debug/RPMS/noarch/hello-1.0-1.noarch.rpm: line "
                 + QByteArray::number(i) + '\n';
    return lines;
}

void printRow(const QString &work,
              const QList<Measure> &measures,
              double reference,
              const QString &referenceText,
              bool withMemory)
{
    out << qSetFieldWidth(48) << Qt::left << work << qSetFieldWidth(0);
    for (const Measure &measure : measures) {
        QString cell = "not run";
        if (measure.seconds < std::numeric_limits<double>::max()) {
            cell = figureText(measure.seconds);
            if (reference > 0)
                cell += QString(" %1x").arg(measure.seconds / reference, 0, 'f', 1);
            if (withMemory)
                cell += QString(", %1 MiB").arg(measure.peakKiB / 1024);
        }
        out << qSetFieldWidth(28) << Qt::right << cell << qSetFieldWidth(0) << "  ";
    }
    out << (reference > 0 ? figureText(reference) + "  (" + referenceText + ')' : referenceText)
        << '\n';
    out.flush();
}

void measureToolOutput(const QList<Tree> &trees, int runs, int baselineLines)
{
    for (const Tree &tree : trees)
        tree.useRunCommand(tree.scriptedRunCommand());
    QList<Measure> none;
    for (int lines : lineCounts) {
        QList<Measure> measures;
        Measure pipe;
        for (const Tree &tree : trees)
            writeFile(tree.toolOutput(), toolLines(lines));
        for (int round = 0; round < runs; ++round) {
            pipe.keepLower(run({"sh", "-c", "cat '" + trees.first().toolOutput() + "' | cat"}, "/"));
            for (int i = 0; i < trees.size(); ++i) {
                if (measures.size() <= i)
                    measures << Measure();
                if (i > 0 && lines > baselineLines)
                    continue;
                measures[i].keepLower(trees.at(i).headlessBuild(trees.at(i).signStart()));
            }
        }
        if (lines == 0) {
            none = measures;
            printRow("pkgseal sign to the IDE's end, no tool lines",
                     measures,
                     0,
                     "(subtracted below)",
                     true);
            continue;
        }
        for (int i = 0; i < measures.size(); ++i) {
            if (measures.at(i).seconds < std::numeric_limits<double>::max())
                measures[i].seconds -= none.at(i).seconds;
        }
        printRow(QString("%1 tool lines through the sign step").arg(lines),
                 measures,
                 pipe.seconds,
                 "a pipe: cat | cat",
                 true);
    }
}

void measureHeadlessBuild(const QList<Tree> &trees, int runs)
{
    const Tree &reference = trees.first();
    const QString hello = reference.workspace() + "/hello";
    const QString topDir = reference.workspace() + "/bench-rpmbuild";
    const QString package = topDir + "/RPMS/noarch/hello-1.0-1.noarch.rpm";
    const QString docPackage = topDir + "/RPMS/noarch/hello-doc-1.0-1.noarch.rpm";
    const auto throughRunCommand = [&](const QStringList &command) {
        return run(QStringList{reference.runCommand()} + command, reference.workspace()).seconds;
    };
    for (const Tree &tree : trees)
        tree.useRunCommand(tree.runCommand());
    QList<Measure> measures;
    for (int i = 0; i < trees.size(); ++i)
        measures << Measure();
    double tools = std::numeric_limits<double>::max();
    for (int round = 0; round < runs; ++round) {
        tools = std::min(tools,
                         throughRunCommand({"rpmbuild",
                                            "-bb",
                                            "--define",
                                            "_topdir " + topDir,
                                            "--define",
                                            "_sourcedir " + hello,
                                            hello + "/hello.spec"})
                             + throughRunCommand(
                                 {"pkgseal",
                                  "sign",
                                  "-k",
                                  "/etc/keys/public/developer-key-release.pem",
                                  "-c",
                                  "/etc/keys/public/developer-regular-release-cert.pem",
                                  package,
                                  docPackage})
                             + throughRunCommand({"pkgseal", "dump", package, docPackage}));
        for (int i = 0; i < trees.size(); ++i)
            measures[i].keepLower(trees.at(i).headlessBuild());
    }
    printRow("headless build of hello (kelvara-ide --build)",
             measures,
             tools,
             "rpmbuild, pkgseal sign, pkgseal dump through the run command",
             false);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    const QMap<QString, QString> options = takeOptions(arguments,
                                                       {"--baseline", "--runs", "--baseline-lines"});
    const QString baseline = options.value("--baseline");
    const int runs = std::max(3, options.value("--runs", "3").toInt());
    const int baselineLines = options.value("--baseline-lines", "20000").toInt();
    if (arguments.size() != 1)
        benchFail(
            "Usage: bench_output BUILD_DIR [--baseline BUILD_DIR] [--runs N] [--baseline-lines N]");

    QTemporaryDir tempDir(QDir::tempPath() + "/bench-output-XXXXXX");
    QList<Tree> trees{makeTree("now", arguments.first(), tempDir.path())};
    if (!baseline.isEmpty())
        trees << makeTree("before", baseline, tempDir.path());

    out << "Each figure is the minimum of " << runs
        << " runs, taken in turns with its reference; memory is the IDE's peak.\n\n";
    printTableHeader(out, {trees.cbegin(), trees.cend()}, 48, 28);
    measureToolOutput(trees, runs, baselineLines);
    measureHeadlessBuild(trees, runs);
    return 0;
}
