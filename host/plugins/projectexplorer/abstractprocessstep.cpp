#include "abstractprocessstep.h"

#include "buildconfiguration.h"
#include "processparameters.h"
#include "project.h"

#include <utils/qtcassert.h>

#include <QDir>

#include <signal.h>

namespace ProjectExplorer {

// A process that leads a process group of its own (a build container's run command) may have
// started processes there that its death alone does not stop.
static void killWithItsGroup(QProcess &process)
{
    // Without a process, kill(-0) would hit this process's own group.
    if (process.processId() > 0)
        ::kill(-pid_t(process.processId()), SIGKILL);
    process.kill();
}

class AbstractProcessStep::Private
{
public:
    std::unique_ptr<QProcess> process;
    ProcessParameters parameters;
    std::function<Utils::CommandLine()> commandLineProvider;
    std::function<Utils::FilePath()> workingDirectoryProvider;
    std::function<void(Utils::Environment &)> environmentModifier;
    QByteArray stdOutBuffer;
    QByteArray stdErrBuffer;
    bool ignoreReturnValue = false;
    bool useEnglishOutput = false;
};

AbstractProcessStep::AbstractProcessStep(BuildStepList *bsl, Utils::Id id)
    : BuildStep(bsl, id)
    , d(std::make_unique<Private>())
{}

AbstractProcessStep::~AbstractProcessStep()
{
    if (d->process) {
        d->process->disconnect(this);
        killWithItsGroup(*d->process);
        d->process->waitForFinished();
    }
}

ProcessParameters *AbstractProcessStep::processParameters()
{
    return &d->parameters;
}

void AbstractProcessStep::setupProcessParameters(ProcessParameters *params)
{
    Utils::Environment env = buildEnvironment();
    if (d->useEnglishOutput)
        Utils::Environment::setupEnglishOutput(&env);
    if (d->environmentModifier)
        d->environmentModifier(env);
    params->setEnvironment(env);

    if (d->workingDirectoryProvider)
        params->setWorkingDirectory(d->workingDirectoryProvider());
    else if (!buildDirectory().isEmpty())
        params->setWorkingDirectory(buildDirectory());
    else if (project())
        params->setWorkingDirectory(project()->projectDirectory());

    if (d->commandLineProvider)
        params->setCommandLine(d->commandLineProvider());
}

bool AbstractProcessStep::ignoreReturnValue() const
{
    return d->ignoreReturnValue;
}

void AbstractProcessStep::setIgnoreReturnValue(bool b)
{
    d->ignoreReturnValue = b;
}

void AbstractProcessStep::emitFaultyConfigurationMessage()
{
    emit addOutput(tr("Configuration is faulty: the step \"%1\" has no command to run.")
                       .arg(displayName()),
                   OutputFormat::ErrorMessage);
}

void AbstractProcessStep::setCommandLineProvider(const std::function<Utils::CommandLine()> &provider)
{
    d->commandLineProvider = provider;
}

void AbstractProcessStep::setWorkingDirectoryProvider(
    const std::function<Utils::FilePath()> &provider)
{
    d->workingDirectoryProvider = provider;
}

void AbstractProcessStep::setEnvironmentModifier(
    const std::function<void(Utils::Environment &)> &modifier)
{
    d->environmentModifier = modifier;
}

void AbstractProcessStep::setUseEnglishOutput()
{
    d->useEnglishOutput = true;
}

bool AbstractProcessStep::init()
{
    setupProcessParameters(processParameters());
    if (d->parameters.command().executable().isEmpty()) {
        emitFaultyConfigurationMessage();
        return false;
    }
    if (d->parameters.commandMissing()) {
        emit addOutput(tr("The program \"%1\" was not found.")
                           .arg(d->parameters.command().executable().toUserOutput()),
                       OutputFormat::ErrorMessage);
        return false;
    }
    return true;
}

void AbstractProcessStep::doRun()
{
    QTC_ASSERT(!d->process, finish(false); return );

    const QString workingDirectory = d->parameters.effectiveWorkingDirectory().toString();
    if (!QDir(workingDirectory).exists() && !QDir().mkpath(workingDirectory)) {
        emit addOutput(tr("Could not create directory \"%1\"")
                           .arg(QDir::toNativeSeparators(workingDirectory)),
                       OutputFormat::ErrorMessage);
        finish(false);
        return;
    }

    const Utils::FilePath command = d->parameters.effectiveCommand();
    if (command.isEmpty()) {
        processStartupFailed();
        finish(false);
        return;
    }

    d->stdOutBuffer.clear();
    d->stdErrBuffer.clear();
    d->process = std::make_unique<QProcess>();
    d->process->setWorkingDirectory(workingDirectory);
    d->process->setProcessEnvironment(d->parameters.environment().toProcessEnvironment());
    d->process->setProgram(command.toString());
    d->process->setArguments(d->parameters.command().splitArguments());

    connect(d->process.get(), &QProcess::started, this, &AbstractProcessStep::handleProcessStarted);
    connect(d->process.get(), &QProcess::readyReadStandardOutput, this, [this] {
        readOutput(QProcess::StandardOutput, false);
    });
    connect(d->process.get(), &QProcess::readyReadStandardError, this, [this] {
        readOutput(QProcess::StandardError, false);
    });
    connect(d->process.get(),
            QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished),
            this,
            &AbstractProcessStep::handleProcessFinished);
    connect(d->process.get(),
            &QProcess::errorOccurred,
            this,
            &AbstractProcessStep::handleProcessError);
    d->process->start();
}

void AbstractProcessStep::doCancel()
{
    if (d->process && d->process->state() != QProcess::NotRunning)
        killWithItsGroup(*d->process);
}

void AbstractProcessStep::finish(bool success)
{
    emit finished(success);
}

void AbstractProcessStep::processStarted()
{
    emit addOutput(tr("Starting: \"%1\" %2")
                       .arg(d->parameters.effectiveCommand().toUserOutput(),
                            d->parameters.prettyArguments()),
                   OutputFormat::NormalMessage);
}

void AbstractProcessStep::processFinished(int exitCode, QProcess::ExitStatus status)
{
    const QString command = d->parameters.effectiveCommand().toUserOutput();
    if (status == QProcess::NormalExit && exitCode == 0) {
        emit addOutput(tr("The process \"%1\" exited normally.").arg(command),
                       OutputFormat::NormalMessage);
    } else if (status == QProcess::NormalExit) {
        emit addOutput(tr("The process \"%1\" exited with code %2.")
                           .arg(command, QString::number(exitCode)),
                       OutputFormat::ErrorMessage);
    } else {
        emit addOutput(tr("The process \"%1\" crashed.").arg(command), OutputFormat::ErrorMessage);
    }
}

void AbstractProcessStep::processStartupFailed()
{
    const QString error = d->process ? d->process->errorString() : tr("Program not found.");
    emit addOutput(tr("Could not start process \"%1\" %2: %3")
                       .arg(d->parameters.command().executable().toUserOutput(),
                            d->parameters.prettyArguments(),
                            error),
                   OutputFormat::ErrorMessage);
}

bool AbstractProcessStep::processSucceeded(int exitCode, QProcess::ExitStatus status)
{
    if (status != QProcess::NormalExit)
        return false;
    return exitCode == 0 || d->ignoreReturnValue;
}

void AbstractProcessStep::stdOutput(const QString &output)
{
    emit addOutput(output, OutputFormat::Stdout, DontAppendNewline);
}

void AbstractProcessStep::stdError(const QString &output)
{
    emit addOutput(output, OutputFormat::Stderr, DontAppendNewline);
}

void AbstractProcessStep::handleProcessStarted()
{
    processStarted();
}

void AbstractProcessStep::handleProcessFinished(int exitCode, QProcess::ExitStatus status)
{
    readOutput(QProcess::StandardOutput, true);
    readOutput(QProcess::StandardError, true);
    processFinished(exitCode, status);
    const bool success = processSucceeded(exitCode, status);
    d->process.release()->deleteLater();
    finish(success);
}

void AbstractProcessStep::handleProcessError(QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return; // The end of the process is handled when it reports finished().
    processStartupFailed();
    d->process.release()->deleteLater();
    finish(false);
}

// Hands on every complete line; with flush, also the rest of the output.
static QStringList takeLines(QByteArray *buffer, const QByteArray &newData, bool flush)
{
    buffer->append(newData);
    QStringList lines;
    int start = 0;
    for (int end = buffer->indexOf('\n'); end >= 0; end = buffer->indexOf('\n', start)) {
        lines.append(QString::fromLocal8Bit(buffer->mid(start, end + 1 - start)));
        start = end + 1;
    }
    buffer->remove(0, start);
    if (flush && !buffer->isEmpty()) {
        lines.append(QString::fromLocal8Bit(*buffer) + '\n');
        buffer->clear();
    }
    return lines;
}

void AbstractProcessStep::readOutput(QProcess::ProcessChannel channel, bool flush)
{
    QTC_ASSERT(d->process, return );
    const bool isStdOut = channel == QProcess::StandardOutput;
    const QByteArray newData = isStdOut ? d->process->readAllStandardOutput()
                                        : d->process->readAllStandardError();
    const QStringList lines = takeLines(isStdOut ? &d->stdOutBuffer : &d->stdErrBuffer,
                                        newData,
                                        flush);
    for (const QString &line : lines) {
        if (isStdOut)
            stdOutput(line);
        else
            stdError(line);
    }
}

} // namespace ProjectExplorer
