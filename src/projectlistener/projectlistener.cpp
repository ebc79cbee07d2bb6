#include "projectlistener.h"

#include "pkgsealstep.h"

#include <kelvara/kambuildstep.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/project.h>
#include <projectexplorer/target.h>
#include <utils/qtcassert.h>

#include <QTimerEvent>

#include <algorithm>

using namespace ProjectExplorer;

namespace Quillmark {
namespace Internal {

namespace {

// Parsing comes in bursts; one pass follows the last notification after this delay.
const int SettleIntervalMs = 1100;

int indexOfStep(const QList<BuildStep *> &steps, Utils::Id id)
{
    for (int i = 0; i < steps.size(); ++i) {
        if (steps.at(i)->id() == id)
            return i;
    }
    return -1;
}

} // namespace

ProjectListener::ProjectListener(QObject *parent)
    : KamProjectListener(parent)
{}

ProjectListener::~ProjectListener()
{
    m_updateTimer.stop();
    m_pendingTargets.clear();
}

void ProjectListener::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_updateTimer.timerId()) {
        KamProjectListener::timerEvent(event);
        return;
    }

    m_updateTimer.stop();
    while (!m_pendingTargets.isEmpty()) {
        const QPointer<Target> target = m_pendingTargets.takeFirst();
        if (target && isStillInProject(target))
            insertSignStep(target);
    }
}

bool ProjectListener::attachProject(Project *project)
{
    const QList<Target *> targets = project->targets();
    for (Target *target : targets) {
        connect(target,
                &Target::parsingFinished,
                this,
                &ProjectListener::scheduleProjectUpdate,
                Qt::UniqueConnection);
    }
    return true;
}

bool ProjectListener::detachProject(Project *project)
{
    m_pendingTargets.erase(std::remove_if(m_pendingTargets.begin(),
                                          m_pendingTargets.end(),
                                          [project](const QPointer<Target> &target) {
                                              return !target || target->project() == project;
                                          }),
                           m_pendingTargets.end());

    const QList<Target *> targets = project->targets();
    for (Target *target : targets)
        disconnect(target, &Target::parsingFinished, this, &ProjectListener::scheduleProjectUpdate);
    return true;
}

void ProjectListener::scheduleProjectUpdate()
{
    auto target = qobject_cast<Target *>(sender());
    QTC_ASSERT(target, return);

    m_pendingTargets.append(target);
    m_updateTimer.start(SettleIntervalMs, this);
}

bool ProjectListener::isStillInProject(Target *target)
{
    return target->project() && target->project()->targets().contains(target);
}

void ProjectListener::insertSignStep(Target *target)
{
    const QList<BuildConfiguration *> configurations = target->buildConfigurations();
    for (BuildConfiguration *configuration : configurations) {
        BuildStepList *stepList = configuration->buildSteps();
        if (stepList->contains(PkgsealStep::stepId()))
            continue;
        const int buildStepIndex = indexOfStep(stepList->steps(),
                                               Kam::Internal::KamBuildStep::stepId());
        if (buildStepIndex < 0)
            continue;
        stepList->insertStep(buildStepIndex + 1, new PkgsealStep(stepList, PkgsealStep::stepId()));
    }
}

} // namespace Internal
} // namespace Quillmark
