#pragma once

#include "buildstep.h"
#include "projectexplorer_export.h"

#include <QObject>
#include <QStringList>

namespace ProjectExplorer {

class BuildStepList;
class Project;
class ProjectConfiguration;
class Target;

// Runs build step lists: init() of every enabled step first (a failing init() stops the build),
// then run() one step after the other, each waiting for the step's finished(bool). A failed step
// stops the build; disabled steps are skipped. Only the first finished() of a run counts. A step
// that reports failure while its run() is still on the stack (it runs a nested event loop, as a
// step that waits for a tool does, and was cancelled) ends the build at once; one that reports
// success there goes on with the next step once its run() has returned. Host: the ProjectExplorer plug-in makes the one
// instance at its construction (tests that run without the plug-ins may make their own).
class PROJECTEXPLORER_EXPORT BuildManager : public QObject
{
    Q_OBJECT

public:
    BuildManager();
    ~BuildManager() override;

    static BuildManager *instance();

    static bool isBuilding();
    static bool isBuilding(const Project *p);
    static bool isBuilding(const Target *t);
    static bool isBuilding(const ProjectConfiguration *p);
    static bool isBuilding(BuildStep *step);
    static bool isDeploying();

    static bool buildList(BuildStepList *bsl);
    static bool buildLists(const QList<BuildStepList *> bsls,
                           const QStringList &preambelMessage = QStringList());

    static QString displayNameForStepId(Utils::Id stepId);

public slots:
    static void cancel();

signals:
    void buildStateChanged(ProjectExplorer::Project *pro);
    void buildQueueFinished(bool success);

    // Host: each piece of compile output (the steps' addOutput and the manager's own messages),
    // with its line end already applied. The "Compile Output" pane shows it.
    void compileOutput(const QString &text, ProjectExplorer::BuildStep::OutputFormat format);

    // Host: the running build's progress: the share of the whole build done, in percent, and what
    // it does now (the running step and its own progress message, see BuildStep::progress()).
    // Reported when a step starts and whenever the running step reports its progress; the end of
    // the build is buildQueueFinished().
    void buildProgress(int percent, const QString &text);

private:
    void runNextStep();
    void stepFinished(BuildStep *step, bool success);
    void stepProgress(BuildStep *step, int percent, const QString &message);
    void stepDone();
    void finishBuild(bool success);
};

} // namespace ProjectExplorer
