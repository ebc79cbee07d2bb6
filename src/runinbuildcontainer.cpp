#include "runinbuildcontainer.h"

#include <coreplugin/messagemanager.h>
#include <kelvara/kamsettings.h>
#include <pelk/buildcontainer.h>
#include <pelk/buildcontainermanager.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>

namespace Quillmark {
namespace Internal {

static void pumpUntilFinished(QProcess &process,
                              const OutputHandler &handler,
                              QByteArray &output,
                              QByteArray &errorOutput)
{
    while (process.state() != QProcess::NotRunning) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const QByteArray newOutput = process.readAllStandardOutput();
        const QByteArray newError = process.readAllStandardError();
        output.append(newOutput);
        errorOutput.append(newError);
        QByteArray input;
        if (!handler(newOutput, newError, input)) {
            process.kill();
        } else if (!input.isEmpty()) {
            process.write(input);
            process.waitForBytesWritten(30000);
        }
        // The input may hold a pass phrase: leave no copy of it behind.
        input.fill('\0');
    }
}

static QString startFailure(const QProcess &process)
{
    return QCoreApplication::translate("Quillmark::Internal::RunInBuildContainer",
                                       "Could not start \"%1\": %2")
        .arg(process.program(), process.errorString());
}

RunResult runInBuildContainer(OutputHandler handler,
                              QProcessEnvironment environment,
                              const QStringList &command)
{
    const auto containers = Pelk::BuildContainerManager::buildContainers();
    if (containers.isEmpty())
        return {true, 1, "Build containers not found!", {}};

    const QString workspace = Kam::Internal::KamSettings::workspaceLocation();
    environment.insert("WORKSPACE_DIR", workspace);

    QProcess process;
    process.setProgram(containers.first()->runCommand().toString());
    process.setWorkingDirectory(workspace);
    process.setProcessEnvironment(environment);
    process.setArguments(command.mid(1));
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(QIODevice::ReadWrite);

    RunResult result;
    if (process.waitForStarted(-1)) {
        pumpUntilFinished(process, handler, result.output, result.errorOutput);
        result.crashed = process.exitStatus() == QProcess::CrashExit;
        result.exitCode = process.exitCode();
    } else {
        // A process that never ran reports a normal exit with code 0: that is no success.
        result.exitCode = -1;
        result.errorOutput = startFailure(process).toUtf8();
    }

    Core::MessageManager::writeFlashing(
        QString("[$] %1\t%2").arg(QString::number(result.exitCode), command.join(' ')));
    return result;
}

} // namespace Internal
} // namespace Quillmark
