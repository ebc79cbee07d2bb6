#pragma once

#include <kelvara/kamprojectlistener.h>

#include <QBasicTimer>
#include <QList>
#include <QPointer>

namespace ProjectExplorer {
class Target;
}

namespace Quillmark {
namespace Internal {

// Puts the sign step right after the platform build step of every build configuration of the
// platform's projects, once their parsing has settled.
class ProjectListener : public Kam::Internal::KamProjectListener
{
    Q_OBJECT

public:
    explicit ProjectListener(QObject *parent = nullptr);
    ~ProjectListener() override;

protected:
    void timerEvent(QTimerEvent *event) override;
    bool attachProject(ProjectExplorer::Project *project) override;
    bool detachProject(ProjectExplorer::Project *project) override;

private slots:
    void scheduleProjectUpdate();

private:
    static bool isStillInProject(ProjectExplorer::Target *target);
    static void insertSignStep(ProjectExplorer::Target *target);

    QList<QPointer<ProjectExplorer::Target>> m_pendingTargets;
    QBasicTimer m_updateTimer;
};

} // namespace Internal
} // namespace Quillmark
