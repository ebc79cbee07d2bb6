#pragma once

#include "kelvara_global.h"

#include <QList>
#include <QObject>

namespace ProjectExplorer {
class Project;
class Target;
} // namespace ProjectExplorer

namespace Kam {
namespace Internal {

// Hands every platform project of the session to a derived listener: once constructed, it
// attaches each platform project that is open or opened later (possibly more than once, e.g.
// when a target is added) and detaches it while it still exists when it is closed.
class KELVARA_EXPORT KamProjectListener : public QObject
{
    Q_OBJECT

public:
    explicit KamProjectListener(QObject *parent = nullptr);
    ~KamProjectListener() override;

protected:
    virtual void init();
    virtual bool attachProject(ProjectExplorer::Project *project) = 0;
    virtual bool detachProject(ProjectExplorer::Project *project) = 0;
    virtual void onTargetAddedToProject(ProjectExplorer::Target *target);
    virtual void onTargetRemovedFromProject(ProjectExplorer::Target *target);
    virtual void onProjectAdded(ProjectExplorer::Project *project);
    virtual void onProjectRemoved(ProjectExplorer::Project *project);

private:
    void attach(ProjectExplorer::Project *project);
    static bool isPlatformProject(ProjectExplorer::Project *project);

    QList<ProjectExplorer::Project *> m_watchedProjects;
    QList<ProjectExplorer::Project *> m_attachedProjects;
};

} // namespace Internal
} // namespace Kam
