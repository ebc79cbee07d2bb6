#include "session.h"

#include "buildmanager.h"
#include "project.h"

#include <utils/qtcassert.h>

#include <QDebug>

namespace ProjectExplorer {

static SessionManager *m_instance = nullptr;

SessionManager::SessionManager()
{
    QTC_CHECK(!m_instance);
    m_instance = this;
}

SessionManager::~SessionManager()
{
    qDeleteAll(m_projects);
    if (m_instance == this)
        m_instance = nullptr;
}

SessionManager *SessionManager::instance()
{
    return m_instance;
}

void SessionManager::addProject(Project *project)
{
    QTC_ASSERT(m_instance, return );
    QTC_ASSERT(project && !m_instance->m_projects.contains(project), return );
    m_instance->m_projects.append(project);
    emit m_instance->projectAdded(project);
    if (!m_instance->m_startupProject)
        setStartupProject(project);
}

void SessionManager::removeProject(Project *project)
{
    removeProjects({project});
}

void SessionManager::removeProjects(const QList<Project *> &projects)
{
    QTC_ASSERT(m_instance, return );
    for (Project *project : projects) {
        QTC_ASSERT(m_instance->m_projects.contains(project), continue);
        if (BuildManager::instance() && BuildManager::isBuilding(project)) {
            qWarning().noquote() << tr("The project \"%1\" is being built and stays open.")
                                        .arg(project->displayName());
            continue;
        }
        emit m_instance->aboutToRemoveProject(project);
        project->saveSettings();
        m_instance->m_projects.removeOne(project);
        if (m_instance->m_startupProject == project)
            setStartupProject(m_instance->m_projects.value(0));
        emit m_instance->projectRemoved(project);
        delete project;
    }
}

QList<Project *> SessionManager::projects()
{
    QTC_ASSERT(m_instance, return {});
    return m_instance->m_projects;
}

bool SessionManager::hasProjects()
{
    return m_instance && !m_instance->m_projects.isEmpty();
}

bool SessionManager::hasProject(Project *p)
{
    return m_instance && m_instance->m_projects.contains(p);
}

Project *SessionManager::startupProject()
{
    return m_instance ? m_instance->m_startupProject : nullptr;
}

void SessionManager::setStartupProject(Project *startupProject)
{
    QTC_ASSERT(m_instance, return );
    QTC_ASSERT(!startupProject || m_instance->m_projects.contains(startupProject), return );
    if (m_instance->m_startupProject == startupProject)
        return;
    m_instance->m_startupProject = startupProject;
    emit m_instance->startupProjectChanged(startupProject);
}

} // namespace ProjectExplorer
