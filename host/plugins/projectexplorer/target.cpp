#include "target.h"

#include "buildconfiguration.h"
#include "buildmanager.h"
#include "deployconfiguration.h"
#include "kit.h"
#include "project.h"

#include <utils/qtcassert.h>

#include <QDebug>
#include <QPointer>

namespace ProjectExplorer {

const char TARGET_ID_KEY[] = "ProjectExplorer.ProjectConfiguration.Id";
const char ACTIVE_BC_KEY[] = "ProjectExplorer.Target.ActiveBuildConfiguration";
const char BC_COUNT_KEY[] = "ProjectExplorer.Target.BuildConfigurationCount";
const char BC_PREFIX[] = "ProjectExplorer.Target.BuildConfiguration.";
const char ACTIVE_DC_KEY[] = "ProjectExplorer.Target.ActiveDeployConfiguration";
const char DC_COUNT_KEY[] = "ProjectExplorer.Target.DeployConfigurationCount";
const char DC_PREFIX[] = "ProjectExplorer.Target.DeployConfiguration.";

Target::Target(Project *parent, Kit *k)
    : QObject(parent)
    , m_kit(k)
{
    QTC_CHECK(k);
}

Target::~Target()
{
    qDeleteAll(m_buildConfigurations);
    qDeleteAll(m_deployConfigurations);
}

Project *Target::project() const
{
    return static_cast<Project *>(parent());
}

Kit *Target::kit() const
{
    return m_kit;
}

Utils::Id Target::id() const
{
    return m_kit ? m_kit->id() : Utils::Id();
}

QString Target::displayName() const
{
    return m_kit ? m_kit->displayName() : QString();
}

bool Target::isActive() const
{
    return project() && project()->activeTarget() == this;
}

// The shared handling of the build and the deploy configurations.
template<typename Configuration>
static bool addTo(QList<Configuration *> &configurations,
                  Configuration *configuration,
                  Target *target)
{
    QTC_ASSERT(configuration && !configurations.contains(configuration), return false);
    QTC_ASSERT(configuration->target() == target, return false);
    configurations.append(configuration);
    return true;
}

template<typename Configuration>
static bool takeFrom(QList<Configuration *> &configurations, Configuration *configuration)
{
    if (!configurations.contains(configuration))
        return false;
    if (BuildManager::instance() && BuildManager::isBuilding(configuration))
        return false;
    configurations.removeOne(configuration);
    return true;
}

template<typename Configuration>
static bool changeActive(const QList<Configuration *> &configurations,
                         Configuration **active,
                         Configuration *configuration)
{
    QTC_ASSERT(!configuration || configurations.contains(configuration), return false);
    if (configuration == *active)
        return false;
    *active = configuration;
    return true;
}

void Target::addBuildConfiguration(BuildConfiguration *bc)
{
    if (!addTo(m_buildConfigurations, bc, this))
        return;
    emit addedBuildConfiguration(bc);
    if (!m_activeBuildConfiguration)
        setActiveBuildConfiguration(bc);
}

bool Target::removeBuildConfiguration(BuildConfiguration *bc)
{
    if (!takeFrom(m_buildConfigurations, bc))
        return false;
    if (m_activeBuildConfiguration == bc)
        setActiveBuildConfiguration(m_buildConfigurations.value(0));
    emit removedBuildConfiguration(bc);
    delete bc;
    return true;
}

const QList<BuildConfiguration *> Target::buildConfigurations() const
{
    return m_buildConfigurations;
}

BuildConfiguration *Target::activeBuildConfiguration() const
{
    return m_activeBuildConfiguration;
}

void Target::setActiveBuildConfiguration(BuildConfiguration *configuration)
{
    if (changeActive(m_buildConfigurations, &m_activeBuildConfiguration, configuration))
        emit activeBuildConfigurationChanged(configuration);
}

void Target::addDeployConfiguration(DeployConfiguration *dc)
{
    if (!addTo(m_deployConfigurations, dc, this))
        return;
    emit addedDeployConfiguration(dc);
    if (!m_activeDeployConfiguration)
        setActiveDeployConfiguration(dc);
}

bool Target::removeDeployConfiguration(DeployConfiguration *dc)
{
    if (!takeFrom(m_deployConfigurations, dc))
        return false;
    if (m_activeDeployConfiguration == dc)
        setActiveDeployConfiguration(m_deployConfigurations.value(0));
    emit removedDeployConfiguration(dc);
    delete dc;
    return true;
}

const QList<DeployConfiguration *> Target::deployConfigurations() const
{
    return m_deployConfigurations;
}

DeployConfiguration *Target::activeDeployConfiguration() const
{
    return m_activeDeployConfiguration;
}

void Target::setActiveDeployConfiguration(DeployConfiguration *configuration)
{
    if (changeActive(m_deployConfigurations, &m_activeDeployConfiguration, configuration))
        emit activeDeployConfigurationChanged(configuration);
}

void Target::emitParsingStarted()
{
    m_isParsing = true;
    QPointer<Target> self(this);
    emit parsingStarted();
    if (self)
        emit project()->anyParsingStarted(this);
}

void Target::emitParsingFinished(bool success)
{
    m_isParsing = false;
    QPointer<Target> self(this);
    emit parsingFinished(success);
    if (self)
        emit project()->anyParsingFinished(this, success);
}

bool Target::isParsing() const
{
    return m_isParsing;
}

template<typename Configuration>
static QVariantMap configurationsToMap(const QList<Configuration *> &configurations,
                                       Configuration *active,
                                       const char *activeKey,
                                       const char *countKey,
                                       const QString &prefix)
{
    QVariantMap map;
    map.insert(activeKey, configurations.indexOf(active));
    map.insert(countKey, configurations.count());
    for (int i = 0; i < configurations.count(); ++i)
        map.insert(prefix + QString::number(i), configurations.at(i)->toMap());
    return map;
}

// Applies the saved maps to the configurations of the same position and id; returns the
// configuration that was active when the settings were saved.
template<typename Configuration>
static Configuration *restoreConfigurations(const QList<Configuration *> &configurations,
                                            const QVariantMap &map,
                                            const char *activeKey,
                                            const char *countKey,
                                            const QString &prefix)
{
    const int count = map.value(countKey, 0).toInt();
    for (int i = 0; i < count; ++i) {
        const QVariantMap configurationMap = map.value(prefix + QString::number(i)).toMap();
        Configuration *configuration = configurations.value(i);
        if (!configuration || configuration->id() != idFromMap(configurationMap)) {
            qWarning() << "Saved configuration" << idFromMap(configurationMap).toString()
                       << "has no counterpart in the project; its settings are dropped.";
            continue;
        }
        if (!configuration->fromMap(configurationMap))
            qWarning() << "Could not restore configuration" << configuration->displayName();
    }
    return configurations.value(map.value(activeKey, -1).toInt());
}

QVariantMap Target::toMap() const
{
    QVariantMap map;
    map.insert(TARGET_ID_KEY, id().toSetting());
    map.insert(configurationsToMap(m_buildConfigurations,
                                   m_activeBuildConfiguration,
                                   ACTIVE_BC_KEY,
                                   BC_COUNT_KEY,
                                   BC_PREFIX));
    map.insert(configurationsToMap(m_deployConfigurations,
                                   m_activeDeployConfiguration,
                                   ACTIVE_DC_KEY,
                                   DC_COUNT_KEY,
                                   DC_PREFIX));
    return map;
}

bool Target::fromMap(const QVariantMap &map)
{
    if (Utils::Id::fromSetting(map.value(TARGET_ID_KEY)) != id())
        return false;
    restoreBuildConfigurations(map);
    restoreDeployConfigurations(map);
    return true;
}

void Target::restoreBuildConfigurations(const QVariantMap &map)
{
    BuildConfiguration *active = restoreConfigurations(m_buildConfigurations,
                                                       map,
                                                       ACTIVE_BC_KEY,
                                                       BC_COUNT_KEY,
                                                       BC_PREFIX);
    if (active)
        setActiveBuildConfiguration(active);
}

void Target::restoreDeployConfigurations(const QVariantMap &map)
{
    DeployConfiguration *active = restoreConfigurations(m_deployConfigurations,
                                                        map,
                                                        ACTIVE_DC_KEY,
                                                        DC_COUNT_KEY,
                                                        DC_PREFIX);
    if (active)
        setActiveDeployConfiguration(active);
}

} // namespace ProjectExplorer
