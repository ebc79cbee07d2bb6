#pragma once

#include "projectexplorer_export.h"

#include <utils/environment.h>
#include <utils/fileutils.h>

namespace ProjectExplorer {

// The command, working folder and environment of a process step.
class PROJECTEXPLORER_EXPORT ProcessParameters
{
public:
    ProcessParameters();

    void setCommandLine(const Utils::CommandLine &cmdLine);
    Utils::CommandLine command() const { return m_command; }

    void setWorkingDirectory(const Utils::FilePath &workingDirectory);
    Utils::FilePath workingDirectory() const { return m_workingDirectory; }

    void setEnvironment(const Utils::Environment &env);
    Utils::Environment environment() const { return m_environment; }

    // The working folder, or the current folder when none is set.
    Utils::FilePath effectiveWorkingDirectory() const;
    // The command's program looked up in the PATH of the environment; empty when not found.
    Utils::FilePath effectiveCommand() const;
    QString effectiveArguments() const;
    bool commandMissing() const;

    QString prettyCommand() const;
    QString prettyArguments() const;

    QString summary(const QString &displayName) const;
    QString summaryInWorkdir(const QString &displayName) const;

private:
    Utils::CommandLine m_command;
    Utils::FilePath m_workingDirectory;
    Utils::Environment m_environment;
};

} // namespace ProjectExplorer
