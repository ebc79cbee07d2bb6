#pragma once

#include <QDir>
#include <QJsonObject>
#include <QStringList>

// The run command of a build container for tests: a link to the scriptedrun program, which
// records every run (arguments, working folder, environment, input) and plays a script.
class ScriptedContainer
{
public:
    ScriptedContainer(const QString &folder, const QString &name);

    QString runCommand() const { return m_runCommand; }

    // Script lines (see tests/common/scriptedrun/main.cpp) for the runs of a command ("rpmbuild",
    // "pkgseal sign"), for one run only ("2") or for every run.
    void setScript(const QString &runs, const QStringList &lines);
    void setScript(const QStringList &lines) { setScript(QString(), lines); }
    // The script lines that write text as it is to standard output or standard error.
    static QString out(const QByteArray &text);
    static QString err(const QByteArray &text);
    // Lets a run that awaits name go on.
    void release(const QString &name);
    // Forgets the recorded runs and the scripts.
    void reset();

    int runCount() const;
    QJsonObject record(int run) const;
    // A list of the run's record: "arguments", "input" (the lines read) or "released" (the names
    // awaited and got).
    QStringList list(int run, const QString &key) const;
    QStringList arguments(int run) const { return list(run, "arguments"); }
    // The arguments of every run, each run's joined by blanks.
    QStringList commandLines() const;
    QJsonObject environment(int run) const { return record(run).value("environment").toObject(); }
    // True once the process of the run has ended and been reaped.
    bool hasEnded(int run) const;
    // The process that the script's "child" line started in the run has ended.
    bool childHasEnded(int run) const;

private:
    QString m_runCommand;
    QDir m_state;
};
