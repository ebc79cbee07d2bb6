#pragma once

#include "buildstep.h"
#include "projectexplorer_export.h"

#include <QProcess>

#include <functional>
#include <memory>

namespace ProjectExplorer {

class ProcessParameters;

// A step that runs one command: init() sets up the process parameters, doRun() starts the
// process and adds its output lines as Stdout and Stderr, doCancel() kills it.
class PROJECTEXPLORER_EXPORT AbstractProcessStep : public BuildStep
{
    Q_OBJECT

public:
    ProcessParameters *processParameters();
    void setupProcessParameters(ProcessParameters *params);

    bool ignoreReturnValue() const;
    void setIgnoreReturnValue(bool b);

    void emitFaultyConfigurationMessage();

    void setCommandLineProvider(const std::function<Utils::CommandLine()> &provider);
    void setWorkingDirectoryProvider(const std::function<Utils::FilePath()> &provider);
    void setEnvironmentModifier(const std::function<void(Utils::Environment &)> &modifier);
    void setUseEnglishOutput();

protected:
    AbstractProcessStep(BuildStepList *bsl, Utils::Id id);
    ~AbstractProcessStep() override;

    bool init() override;
    void doRun() override;
    void doCancel() override;

    virtual void finish(bool success);

    virtual void processStarted();
    virtual void processFinished(int exitCode, QProcess::ExitStatus status);
    virtual void processStartupFailed();
    virtual bool processSucceeded(int exitCode, QProcess::ExitStatus status);
    virtual void stdOutput(const QString &output);
    virtual void stdError(const QString &output);

private:
    void handleProcessStarted();
    void handleProcessFinished(int exitCode, QProcess::ExitStatus status);
    void handleProcessError(QProcess::ProcessError error);
    void readOutput(QProcess::ProcessChannel channel, bool flush);

    class Private;
    std::unique_ptr<Private> d;
};

} // namespace ProjectExplorer
