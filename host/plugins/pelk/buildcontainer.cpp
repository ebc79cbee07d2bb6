#include "buildcontainer.h"

namespace Pelk {

BuildContainer::BuildContainer(const QString &name,
                               const QString &engineName,
                               const Utils::FilePath &runCommand)
    : m_name(name)
    , m_engineName(engineName)
    , m_runCommand(runCommand)
{}

QString BuildContainer::name() const
{
    return m_name;
}

QString BuildContainer::engineName() const
{
    return m_engineName;
}

Utils::FilePath BuildContainer::runCommand() const
{
    return m_runCommand;
}

} // namespace Pelk
