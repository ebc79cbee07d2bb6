#include "processparameters.h"

#include <QCoreApplication>
#include <QDir>

namespace ProjectExplorer {

ProcessParameters::ProcessParameters() = default;

void ProcessParameters::setCommandLine(const Utils::CommandLine &cmdLine)
{
    m_command = cmdLine;
}

void ProcessParameters::setWorkingDirectory(const Utils::FilePath &workingDirectory)
{
    m_workingDirectory = workingDirectory;
}

void ProcessParameters::setEnvironment(const Utils::Environment &env)
{
    m_environment = env;
}

Utils::FilePath ProcessParameters::effectiveWorkingDirectory() const
{
    if (m_workingDirectory.isEmpty())
        return Utils::FilePath::fromString(QDir::currentPath());
    return m_workingDirectory;
}

Utils::FilePath ProcessParameters::effectiveCommand() const
{
    const Utils::FilePath executable = m_command.executable();
    if (executable.isEmpty())
        return {};
    if (executable.toString().contains('/')) {
        const Utils::FilePath resolved = Utils::FilePath::fromString(
            QDir(effectiveWorkingDirectory().toString()).absoluteFilePath(executable.toString()));
        return resolved.exists() ? resolved : Utils::FilePath();
    }
    return m_environment.searchInPath(executable.toString());
}

QString ProcessParameters::effectiveArguments() const
{
    return m_command.arguments();
}

bool ProcessParameters::commandMissing() const
{
    return effectiveCommand().isEmpty();
}

QString ProcessParameters::prettyCommand() const
{
    const Utils::FilePath command = effectiveCommand();
    return (command.isEmpty() ? m_command.executable() : command).fileName();
}

QString ProcessParameters::prettyArguments() const
{
    return effectiveArguments();
}

QString ProcessParameters::summary(const QString &displayName) const
{
    if (commandMissing()) {
        return QCoreApplication::translate("ProjectExplorer::ProcessParameters",
                                           "<b>%1:</b> <i>%2 not found in the environment.</i>")
            .arg(displayName, m_command.executable().toUserOutput());
    }
    return QString("<b>%1:</b> %2 %3").arg(displayName, prettyCommand(), prettyArguments());
}

QString ProcessParameters::summaryInWorkdir(const QString &displayName) const
{
    return summary(displayName)
           + QCoreApplication::translate("ProjectExplorer::ProcessParameters", " in %1")
                 .arg(effectiveWorkingDirectory().toUserOutput());
}

} // namespace ProjectExplorer
