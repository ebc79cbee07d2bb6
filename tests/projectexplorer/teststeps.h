#pragma once

#include <projectexplorer/abstractprocessstep.h>
#include <projectexplorer/buildstep.h>

#include <QEventLoop>
#include <QStringList>

// A build step that records what the host does with it into a shared journal and reports its
// end the way a test asks for.
class RecordingStep : public ProjectExplorer::BuildStep
{
    Q_OBJECT

public:
    enum class Finish {
        Later,        // finished(result) from the event loop
        InsideRun,    // finished(result) before run() returns
        Twice,        // finished(result) inside run(), finished(!result) later (journal "again x")
        OnCancelOnly, // nothing until cancelled; doCancel() reports finished(false)
        // run() waits in an event loop of its own until cancelled, as a step that waits for a
        // tool does; doCancel() reports finished(false) at once, and run() returns after the
        // events posted until then (journal "return x")
        InNestedLoop
    };

    RecordingStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id);

    static QStringList journal;

    QString name;
    bool initResult = true;
    bool runResult = true;
    Finish finishMode = Finish::Later;
    QList<QPair<int, QString>> progressReports; // progress(percent, message) at the start of run()

    bool fromMap(const QVariantMap &map) override;
    QVariantMap toMap() const override;
    bool init() override;

private:
    void doRun() override;
    void doCancel() override;

    QEventLoop *m_nestedLoop = nullptr;
};

// A process step that runs a shell script.
class ShellStep : public ProjectExplorer::AbstractProcessStep
{
    Q_OBJECT

public:
    ShellStep(ProjectExplorer::BuildStepList *bsl, Utils::Id id);

    void setScript(const QString &script);
};

// The factory of the recording steps.
class RecordingStepFactory : public ProjectExplorer::BuildStepFactory
{
public:
    explicit RecordingStepFactory(Utils::Id id)
    {
        registerStep<RecordingStep>(id);
        setDisplayName("Recording");
    }
};
