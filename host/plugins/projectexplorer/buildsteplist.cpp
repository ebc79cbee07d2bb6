#include "buildsteplist.h"

#include "buildmanager.h"
#include "buildstep.h"
#include "projectconfiguration.h"
#include "projectexplorerconstants.h"
#include "target.h"

#include <utils/qtcassert.h>

#include <QDebug>

namespace ProjectExplorer {

const char STEPS_COUNT_KEY[] = "ProjectExplorer.BuildStepList.StepsCount";
const char STEPS_PREFIX[] = "ProjectExplorer.BuildStepList.Step.";

static Target *owningTarget(QObject *parent)
{
    auto configuration = qobject_cast<ProjectConfiguration *>(parent);
    return configuration ? configuration->target() : nullptr;
}

static BuildStepFactory *factoryFor(Utils::Id stepId, BuildStepList *bsl)
{
    for (BuildStepFactory *factory : BuildStepFactory::allBuildStepFactories()) {
        if (factory->stepId() == stepId && factory->canHandle(bsl))
            return factory;
    }
    return nullptr;
}

BuildStepList::BuildStepList(QObject *parent, Utils::Id id)
    : QObject(parent)
    , m_target(owningTarget(parent))
    , m_id(id)
{
    QTC_CHECK(id.isValid());
}

BuildStepList::~BuildStepList()
{
    clear();
}

void BuildStepList::clear()
{
    qDeleteAll(m_steps);
    m_steps.clear();
}

QList<BuildStep *> BuildStepList::steps() const
{
    return m_steps;
}

BuildStep *BuildStepList::firstStepWithId(Utils::Id id) const
{
    for (BuildStep *step : m_steps) {
        if (step->id() == id)
            return step;
    }
    return nullptr;
}

int BuildStepList::count() const
{
    return m_steps.count();
}

bool BuildStepList::isEmpty() const
{
    return m_steps.isEmpty();
}

bool BuildStepList::contains(Utils::Id id) const
{
    return firstStepWithId(id) != nullptr;
}

void BuildStepList::insertStep(int position, BuildStep *step)
{
    QTC_ASSERT(step, return );
    QTC_ASSERT(!m_steps.contains(step), return );
    QTC_CHECK(step->stepList() == this);
    const int index = qBound(0, position, m_steps.count());
    m_steps.insert(index, step);
    emit stepInserted(index);
}

void BuildStepList::insertStep(int position, Utils::Id id)
{
    BuildStepFactory *factory = factoryFor(id, this);
    if (!factory) {
        qWarning() << "No factory for build step" << id.toString() << "in" << displayName();
        return;
    }
    if (BuildStep *step = factory->create(this))
        insertStep(position, step);
}

bool BuildStepList::removeStep(int position)
{
    if (position < 0 || position >= m_steps.count())
        return false;
    BuildStep *step = m_steps.at(position);
    if (BuildManager::instance() && BuildManager::isBuilding(step))
        return false;

    emit aboutToRemoveStep(position);
    m_steps.removeAt(position);
    delete step;
    emit stepRemoved(position);
    return true;
}

void BuildStepList::moveStepUp(int position)
{
    if (position <= 0 || position >= m_steps.count())
        return;
    m_steps.swapItemsAt(position - 1, position);
    emit stepMoved(position, position - 1);
}

BuildStep *BuildStepList::at(int position)
{
    QTC_ASSERT(position >= 0 && position < m_steps.count(), return nullptr);
    return m_steps.at(position);
}

ProjectConfiguration *BuildStepList::projectConfiguration() const
{
    return qobject_cast<ProjectConfiguration *>(parent());
}

QVariantMap BuildStepList::toMap() const
{
    QVariantMap map;
    map.insert(ProjectConfiguration::settingsIdKey(), m_id.toSetting());
    map.insert(STEPS_COUNT_KEY, m_steps.count());
    for (int i = 0; i < m_steps.count(); ++i)
        map.insert(STEPS_PREFIX + QString::number(i), m_steps.at(i)->toMap());
    return map;
}

bool BuildStepList::fromMap(const QVariantMap &map)
{
    clear();

    const int stepCount = map.value(STEPS_COUNT_KEY, 0).toInt();
    for (int i = 0; i < stepCount; ++i) {
        const QVariantMap stepMap = map.value(STEPS_PREFIX + QString::number(i)).toMap();
        if (stepMap.isEmpty()) {
            qWarning() << "No data for build step" << i << "in" << displayName() << "found.";
            continue;
        }
        const Utils::Id stepId = idFromMap(stepMap);
        BuildStepFactory *factory = factoryFor(stepId, this);
        if (!factory) {
            qWarning() << "No factory for build step" << stepId.toString() << "found; dropped.";
            continue;
        }
        if (BuildStep *step = factory->restore(this, stepMap))
            appendStep(step);
        else
            qWarning() << "Restoration of build step" << stepId.toString() << "failed; dropped.";
    }
    return true;
}

QString BuildStepList::displayName() const
{
    if (m_id == Constants::BUILDSTEPS_BUILD)
        return tr("Build");
    if (m_id == Constants::BUILDSTEPS_CLEAN)
        return tr("Clean");
    if (m_id == Constants::BUILDSTEPS_DEPLOY)
        return tr("Deploy");
    return m_id.toString();
}

} // namespace ProjectExplorer
