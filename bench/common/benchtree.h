#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QTextStream;
QT_END_NAMESPACE

// What the benchmarks that drive whole build trees share: a build tree with a demo SDK of its own,
// timed runs of commands, and the printing of figures beside their references.

[[noreturn]] void benchFail(const QString &message);

// A build tree (BUILD_DIR of a benchmark, or an earlier one) with a demo SDK made by its own
// kelvara-sdk in a folder of the benchmark.
struct BenchTree
{
    QString label;
    QString buildDir;
    QString sdk;

    QString runCommand() const { return sdk + "/bin/run-kelvara-build"; }
    QString workspace() const { return sdk + "/workspace"; }

    static BenchTree create(const QString &label, const QString &buildDir, const QString &tempDir);
};

struct CommandRun
{
    double seconds = 0;
    long peakKiB = 0;
};

// Runs a command with its output read and thrown away; it must succeed. The time runs from the
// fork to its end; fork and exec are direct, so that a run of a few milliseconds is measured
// without a harness around it.
CommandRun runCommand(const QStringList &command, const QString &workingDir);

QString figureText(double seconds);

// Takes "--name value" pairs out of arguments, for the names given; the rest stays.
QMap<QString, QString> takeOptions(QStringList &arguments, const QStringList &names);

// The head of a table with a column per tree and the reference last.
void printTableHeader(QTextStream &out, const QList<BenchTree> &trees, int workWidth, int cellWidth);
