#pragma once

#include "projectexplorer_export.h"

#include <QList>
#include <QObject>

namespace ProjectExplorer {

class Project;

// The open projects. Host: the ProjectExplorer plug-in makes the one instance at its
// construction (tests that run without the plug-ins may make their own).
class PROJECTEXPLORER_EXPORT SessionManager : public QObject
{
    Q_OBJECT

public:
    SessionManager();
    ~SessionManager() override;

    static SessionManager *instance();

    // Takes ownership; the first project becomes the startup project.
    static void addProject(Project *project);
    // Saves the project's settings, removes it and deletes it. A project that is being built is
    // not removed (the build must be cancelled and finished first).
    static void removeProject(Project *project);
    static void removeProjects(const QList<Project *> &projects);

    static QList<Project *> projects();
    static bool hasProjects();
    static bool hasProject(Project *p);

    static Project *startupProject();
    static void setStartupProject(Project *startupProject);

signals:
    void projectAdded(ProjectExplorer::Project *project);
    void aboutToRemoveProject(ProjectExplorer::Project *project);
    void projectRemoved(ProjectExplorer::Project *project);
    void startupProjectChanged(ProjectExplorer::Project *project);

private:
    QList<Project *> m_projects;
    Project *m_startupProject = nullptr;
};

} // namespace ProjectExplorer
