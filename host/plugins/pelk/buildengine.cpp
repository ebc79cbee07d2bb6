#include "buildengine.h"

namespace Pelk {

BuildEngine::BuildEngine(const QString &name, QObject *parent)
    : QObject(parent)
    , m_name(name)
{}

BuildEngine::~BuildEngine() = default;

QString BuildEngine::name() const
{
    return m_name;
}

Utils::FilePath BuildEngine::path() const
{
    return m_path;
}

Utils::FilePath BuildEngine::sharedSrcPath() const
{
    return m_sharedSrcPath;
}

void BuildEngine::setPath(const Utils::FilePath &path)
{
    m_path = path;
}

bool BuildEngine::setSharedSrcPath(const Utils::FilePath &sharedSrcPath)
{
    if (m_sharedSrcPath == sharedSrcPath)
        return false;
    m_sharedSrcPath = sharedSrcPath;
    return true;
}

} // namespace Pelk
