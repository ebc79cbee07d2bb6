#include "buildconfiguration.h"

#include "buildsteplist.h"
#include "projectexplorerconstants.h"
#include "target.h"

#include <utils/qtcassert.h>

namespace ProjectExplorer {

const char BUILD_DIRECTORY_KEY[] = "ProjectExplorer.BuildConfiguration.BuildDirectory";
const char USER_ENVIRONMENT_CHANGES_KEY[]
    = "ProjectExplorer.BuildConfiguration.UserEnvironmentChanges";
const char STEP_LIST_COUNT_KEY[] = "ProjectExplorer.BuildConfiguration.BuildStepListCount";
const char STEP_LIST_PREFIX[] = "ProjectExplorer.BuildConfiguration.BuildStepList.";

BuildConfiguration::BuildConfiguration(Target *target, Utils::Id id)
    : ProjectConfiguration(target, id)
    , m_buildSteps(new BuildStepList(this, Constants::BUILDSTEPS_BUILD))
    , m_cleanSteps(new BuildStepList(this, Constants::BUILDSTEPS_CLEAN))
{
    QTC_CHECK(target);
    connect(this, &BuildConfiguration::environmentChanged, this, [this] {
        if (Target *owner = this->target())
            emit owner->buildEnvironmentChanged(this);
    });
}

BuildConfiguration::~BuildConfiguration()
{
    delete m_buildSteps;
    delete m_cleanSteps;
}

Utils::FilePath BuildConfiguration::buildDirectory() const
{
    return m_buildDirectory;
}

void BuildConfiguration::setBuildDirectory(const Utils::FilePath &dir)
{
    if (dir == m_buildDirectory)
        return;
    m_buildDirectory = dir;
    emit buildDirectoryChanged();
}

BuildStepList *BuildConfiguration::buildSteps() const
{
    return m_buildSteps;
}

BuildStepList *BuildConfiguration::cleanSteps() const
{
    return m_cleanSteps;
}

Utils::Environment BuildConfiguration::environment() const
{
    Utils::Environment env = baseEnvironment();
    for (const QString &change : m_userEnvironmentChanges) {
        const int equals = change.indexOf('=');
        if (equals < 0)
            env.unset(change);
        else
            env.set(change.left(equals), change.mid(equals + 1));
    }
    return env;
}

Utils::Environment BuildConfiguration::baseEnvironment() const
{
    return Utils::Environment::systemEnvironment();
}

QStringList BuildConfiguration::userEnvironmentChanges() const
{
    return m_userEnvironmentChanges;
}

void BuildConfiguration::setUserEnvironmentChanges(const QStringList &changes)
{
    if (changes == m_userEnvironmentChanges)
        return;
    m_userEnvironmentChanges = changes;
    emit environmentChanged();
}

BuildConfiguration::BuildType BuildConfiguration::buildType() const
{
    return Unknown;
}

bool BuildConfiguration::isActive() const
{
    return target() && target()->activeBuildConfiguration() == this;
}

bool BuildConfiguration::isEnabled() const
{
    return true;
}

bool BuildConfiguration::fromMap(const QVariantMap &map)
{
    if (!ProjectConfiguration::fromMap(map))
        return false;
    setBuildDirectory(Utils::FilePath::fromVariant(map.value(BUILD_DIRECTORY_KEY)));
    setUserEnvironmentChanges(map.value(USER_ENVIRONMENT_CHANGES_KEY).toStringList());

    const int listCount = map.value(STEP_LIST_COUNT_KEY, 0).toInt();
    for (int i = 0; i < listCount; ++i) {
        const QVariantMap listMap = map.value(STEP_LIST_PREFIX + QString::number(i)).toMap();
        const Utils::Id listId = idFromMap(listMap);
        if (listId == m_buildSteps->id())
            m_buildSteps->fromMap(listMap);
        else if (listId == m_cleanSteps->id())
            m_cleanSteps->fromMap(listMap);
    }
    return true;
}

QVariantMap BuildConfiguration::toMap() const
{
    QVariantMap map = ProjectConfiguration::toMap();
    map.insert(BUILD_DIRECTORY_KEY, m_buildDirectory.toVariant());
    map.insert(USER_ENVIRONMENT_CHANGES_KEY, m_userEnvironmentChanges);
    map.insert(STEP_LIST_COUNT_KEY, 2);
    map.insert(STEP_LIST_PREFIX + QString::number(0), m_buildSteps->toMap());
    map.insert(STEP_LIST_PREFIX + QString::number(1), m_cleanSteps->toMap());
    return map;
}

} // namespace ProjectExplorer
