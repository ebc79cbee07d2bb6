#include "testprocess.h"

#include <QProcess>

TestProcess TestProcess::run(const QString &program,
                             const QStringList &arguments,
                             const QByteArray &input,
                             const QString &workingDirectory,
                             const QProcessEnvironment &environment)
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    TestProcess result;
    if (!process.waitForStarted(-1)) {
        result.errorOutput = process.errorString().toUtf8();
        return result;
    }
    process.write(input);
    process.closeWriteChannel();
    const int deadlineMilliseconds = 120 * 1000;
    if (!process.waitForFinished(deadlineMilliseconds)) {
        process.kill();
        process.waitForFinished(-1);
    }
    result.crashed = process.exitStatus() == QProcess::CrashExit;
    result.exitCode = process.exitCode();
    result.output = process.readAllStandardOutput();
    result.errorOutput = process.readAllStandardError();
    return result;
}

QString TestProcess::describe() const
{
    return QString("exit %1%2\nstdout: %3\nstderr: %4")
        .arg(exitCode)
        .arg(crashed ? " (crashed)" : "")
        .arg(QString::fromUtf8(output), QString::fromUtf8(errorOutput));
}
