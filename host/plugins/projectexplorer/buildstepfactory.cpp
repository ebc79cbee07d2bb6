#include "buildstep.h"

#include "buildsteplist.h"
#include "kitinformation.h"
#include "project.h"
#include "projectconfiguration.h"
#include "target.h"

#include <utils/qtcassert.h>

namespace ProjectExplorer {

static QList<BuildStepFactory *> &registeredFactories()
{
    static QList<BuildStepFactory *> factories;
    return factories;
}

BuildStepFactory::BuildStepFactory()
{
    registeredFactories().append(this);
}

BuildStepFactory::~BuildStepFactory()
{
    registeredFactories().removeOne(this);
}

const QList<BuildStepFactory *> BuildStepFactory::allBuildStepFactories()
{
    return registeredFactories();
}

BuildStepInfo BuildStepFactory::stepInfo() const
{
    return m_info;
}

Utils::Id BuildStepFactory::stepId() const
{
    return m_info.id;
}

BuildStep *BuildStepFactory::create(BuildStepList *parent)
{
    QTC_ASSERT(m_info.creator, return nullptr);
    BuildStep *step = m_info.creator(parent);
    if (step && !m_info.displayName.isEmpty() && step->displayName().isEmpty())
        step->setDefaultDisplayName(m_info.displayName);
    return step;
}

BuildStep *BuildStepFactory::restore(BuildStepList *parent, const QVariantMap &map)
{
    BuildStep *step = create(parent);
    if (!step)
        return nullptr;
    if (!step->fromMap(map)) {
        qWarning("Could not restore the settings of build step \"%s\".",
                 qPrintable(step->id().toString()));
        delete step;
        return nullptr;
    }
    return step;
}

bool BuildStepFactory::canHandle(BuildStepList *bsl) const
{
    QTC_ASSERT(bsl, return false);
    if (!m_supportedStepLists.isEmpty() && !m_supportedStepLists.contains(bsl->id()))
        return false;

    if (m_supportedConfiguration.isValid()) {
        ProjectConfiguration *config = bsl->projectConfiguration();
        if (!config || config->id() != m_supportedConfiguration)
            return false;
    }

    if (!m_isRepeatable && bsl->contains(m_info.id))
        return false;

    if (!m_supportedDeviceTypes.isEmpty()) {
        Target *target = bsl->target();
        if (!target)
            return false;
        if (!m_supportedDeviceTypes.contains(DeviceTypeKitAspect::deviceTypeId(target->kit())))
            return false;
    }

    if (m_supportedProjectType.isValid()) {
        Target *target = bsl->target();
        if (!target || target->project()->id() != m_supportedProjectType)
            return false;
    }

    return true;
}

void BuildStepFactory::setSupportedStepList(Utils::Id id)
{
    m_supportedStepLists = {id};
}

void BuildStepFactory::setSupportedStepLists(const QList<Utils::Id> &ids)
{
    m_supportedStepLists = ids;
}

void BuildStepFactory::setSupportedConfiguration(Utils::Id id)
{
    m_supportedConfiguration = id;
}

void BuildStepFactory::setSupportedProjectType(Utils::Id id)
{
    m_supportedProjectType = id;
}

void BuildStepFactory::setSupportedDeviceType(Utils::Id id)
{
    m_supportedDeviceTypes = {id};
}

void BuildStepFactory::setSupportedDeviceTypes(const QList<Utils::Id> &ids)
{
    m_supportedDeviceTypes = ids;
}

void BuildStepFactory::setDisplayName(const QString &displayName)
{
    m_info.displayName = displayName;
}

void BuildStepFactory::setFlags(BuildStepInfo::Flags flags)
{
    m_info.flags = flags;
}

} // namespace ProjectExplorer
