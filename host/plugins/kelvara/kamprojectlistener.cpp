#include "kamprojectlistener.h"

#include "kamconstants.h"

#include <projectexplorer/kitinformation.h>
#include <projectexplorer/project.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>

#include <QTimer>

#include <algorithm>

namespace Kam {
namespace Internal {

using namespace ProjectExplorer;

KamProjectListener::KamProjectListener(QObject *parent)
    : QObject(parent)
{
    // The derived listener is complete only once its constructor has returned.
    QTimer::singleShot(0, this, &KamProjectListener::init);
}

KamProjectListener::~KamProjectListener() = default;

void KamProjectListener::init()
{
    SessionManager *session = SessionManager::instance();
    connect(session, &SessionManager::projectAdded, this, &KamProjectListener::onProjectAdded);
    connect(session,
            &SessionManager::aboutToRemoveProject,
            this,
            &KamProjectListener::onProjectRemoved);
    connect(session, &SessionManager::projectRemoved, this, [this](Project *project) {
        m_watchedProjects.removeAll(project);
        m_attachedProjects.removeAll(project);
    });
    for (Project *project : SessionManager::projects())
        onProjectAdded(project);
}

void KamProjectListener::onTargetAddedToProject(Target *target)
{
    if (isPlatformProject(target->project()))
        attach(target->project());
}

void KamProjectListener::onTargetRemovedFromProject(Target *target)
{
    Q_UNUSED(target)
}

void KamProjectListener::onProjectAdded(Project *project)
{
    if (!m_watchedProjects.contains(project)) {
        m_watchedProjects.append(project);
        connect(project, &Project::addedTarget, this, &KamProjectListener::onTargetAddedToProject);
        connect(project,
                &Project::removedTarget,
                this,
                &KamProjectListener::onTargetRemovedFromProject);
    }
    if (isPlatformProject(project))
        attach(project);
}

void KamProjectListener::onProjectRemoved(Project *project)
{
    m_watchedProjects.removeAll(project);
    disconnect(project, nullptr, this, nullptr);
    project->removeParseFollower(this);
    if (m_attachedProjects.removeAll(project) > 0)
        detachProject(project);
}

void KamProjectListener::attach(Project *project)
{
    if (!m_attachedProjects.contains(project))
        m_attachedProjects.append(project);
    // A derived listener may act on the project's parses with a timer of its own.
    project->addParseFollower(this);
    attachProject(project);
}

bool KamProjectListener::isPlatformProject(Project *project)
{
    const QList<Target *> targets = project->targets();
    return std::any_of(targets.cbegin(), targets.cend(), [](Target *target) {
        return DeviceTypeKitAspect::deviceTypeId(target->kit()) == Constants::KAM_DEVICE_TYPE;
    });
}

} // namespace Internal
} // namespace Kam
