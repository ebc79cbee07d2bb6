#include "runinbuildcontainer.h"

#include <coreplugin/messagemanager.h>
#include <kelvara/kamsettings.h>
#include <pelk/buildcontainer.h>
#include <pelk/buildcontainermanager.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>

#include <signal.h>

namespace Quillmark {
namespace Internal {

// Hands what the process wrote since the last call to the handler and writes its answer to the
// process; false when the handler refused.
static bool handOnNewOutput(QProcess &process, const OutputHandler &handler, RunResult &result)
{
    const QByteArray newOutput = process.readAllStandardOutput();
    const QByteArray newError = process.readAllStandardError();
    result.output.append(newOutput);
    result.errorOutput.append(newError);
    QByteArray input;
    const bool accepted = handler(newOutput, newError, input);
    if (accepted && !input.isEmpty() && process.state() == QProcess::Running) {
        process.write(input);
        process.waitForBytesWritten(30000);
    }
    // The input may hold a pass phrase: leave no copy of it behind.
    input.fill('\0');
    return accepted;
}

// The run command leads a process group (the container's set-up runs in it): all of it stops.
static void killWithItsGroup(QProcess &process)
{
    // Without a process, kill(-0) would hit this process's own group.
    if (process.processId() > 0)
        ::kill(-pid_t(process.processId()), SIGKILL);
    process.kill();
}

static void pumpUntilFinished(QProcess &process, const OutputHandler &handler, RunResult &result)
{
    while (process.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!handOnNewOutput(process, handler, result))
            killWithItsGroup(process);
    }
    // The process may have ended while the handler was busy (a pass-phrase dialog open): what
    // it wrote last is handed on too.
    handOnNewOutput(process, handler, result);
}

// False when the process could not be started.
static bool runProcess(QProcess &process, const OutputHandler &handler, RunResult &result)
{
    process.start(QIODevice::ReadWrite);
    if (process.waitForStarted(-1)) {
        pumpUntilFinished(process, handler, result);
        result.crashed = process.exitStatus() == QProcess::CrashExit;
        result.exitCode = process.exitCode();
        return true;
    }
    // A process that never ran reports a normal exit with code 0: that is no success.
    result.exitCode = -1;
    result.errorOutput = QCoreApplication::translate("Quillmark::Internal::RunInBuildContainer",
                                                     "Could not start \"%1\": %2")
                             .arg(process.program(), process.errorString())
                             .toUtf8();
    return false;
}

// The reason why nothing ran reaches the handler as error output, and so the user.
static void handOnFailure(const OutputHandler &handler, const QByteArray &reason)
{
    QByteArray input;
    handler({}, reason + '\n', input);
}

RunResult runInBuildContainer(OutputHandler handler,
                              QProcessEnvironment environment,
                              const QStringList &command)
{
    const auto containers = Pelk::BuildContainerManager::buildContainers();
    if (containers.isEmpty()) {
        const RunResult result{true, 1, "Build containers not found!", {}};
        handOnFailure(handler, result.errorOutput);
        return result;
    }

    const QString workspace = Kam::Internal::KamSettings::workspaceLocation();
    environment.insert("WORKSPACE_DIR", workspace);

    QProcess process;
    process.setProgram(containers.first()->runCommand().toString());
    process.setWorkingDirectory(workspace);
    process.setProcessEnvironment(environment);
    process.setArguments(command.mid(1));
    process.setProcessChannelMode(QProcess::SeparateChannels);

    RunResult result;
    if (!runProcess(process, handler, result))
        handOnFailure(handler, result.errorOutput);

    Core::MessageManager::writeFlashing(
        QString("[$] %1\t%2").arg(QString::number(result.exitCode), command.join(' ')));
    return result;
}

} // namespace Internal
} // namespace Quillmark
