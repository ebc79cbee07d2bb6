#include "deployconfiguration.h"

#include "buildsteplist.h"
#include "projectexplorerconstants.h"
#include "target.h"

#include <utils/qtcassert.h>

namespace ProjectExplorer {

const char STEP_LIST_COUNT_KEY[] = "ProjectExplorer.BuildConfiguration.BuildStepListCount";
const char STEP_LIST_KEY[] = "ProjectExplorer.BuildConfiguration.BuildStepList.0";

DeployConfiguration::DeployConfiguration(Target *target, Utils::Id id)
    : ProjectConfiguration(target, id)
    , m_stepList(new BuildStepList(this, Constants::BUILDSTEPS_DEPLOY))
{
    QTC_CHECK(target);
}

DeployConfiguration::~DeployConfiguration()
{
    delete m_stepList;
}

BuildStepList *DeployConfiguration::stepList()
{
    return m_stepList;
}

const BuildStepList *DeployConfiguration::stepList() const
{
    return m_stepList;
}

bool DeployConfiguration::isActive() const
{
    return target() && target()->activeDeployConfiguration() == this;
}

bool DeployConfiguration::fromMap(const QVariantMap &map)
{
    if (!ProjectConfiguration::fromMap(map))
        return false;
    if (map.value(STEP_LIST_COUNT_KEY, 0).toInt() < 1)
        return true;
    const QVariantMap listMap = map.value(STEP_LIST_KEY).toMap();
    if (idFromMap(listMap) != m_stepList->id())
        return false;
    return m_stepList->fromMap(listMap);
}

QVariantMap DeployConfiguration::toMap() const
{
    QVariantMap map = ProjectConfiguration::toMap();
    map.insert(STEP_LIST_COUNT_KEY, 1);
    map.insert(STEP_LIST_KEY, m_stepList->toMap());
    return map;
}

} // namespace ProjectExplorer
