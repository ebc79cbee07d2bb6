#include "buildmanager.h"

#include "buildstep.h"
#include "buildsteplist.h"
#include "kit.h"
#include "project.h"
#include "projectexplorerconstants.h"
#include "target.h"

#include <utils/qtcassert.h>

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <QTime>

namespace ProjectExplorer {

static BuildManager *m_instance = nullptr;

struct QueuedStep
{
    QPointer<BuildStep> step;
    QString projectName;
    QString kitName;
    bool firstOfList = false;
    bool deploying = false;
};

class BuildManagerPrivate
{
public:
    QList<QueuedStep> queue; // every step of the running build that has not finished yet
    QList<QMetaObject::Connection> connections;
    QSet<Project *> projects;
    QElapsedTimer elapsed;
    bool running = false;
    bool canceling = false;
    int stepCount = 0;
    int stepsDone = 0;
    // The first step of the queue is running. Each run has its own number, so that a run() that
    // returns after its build has ended changes nothing.
    const BuildStep *currentStep = nullptr;
    quint64 currentRun = 0;
    bool currentFinished = false;
    bool insideRun = false;
    bool currentResult = false;
};

static BuildManagerPrivate *d = nullptr;

BuildManager::BuildManager()
{
    QTC_CHECK(!m_instance);
    m_instance = this;
    d = new BuildManagerPrivate;
    qRegisterMetaType<BuildStep::OutputFormat>();
    qRegisterMetaType<BuildStep::OutputNewlineSetting>();
}

BuildManager::~BuildManager()
{
    for (const QMetaObject::Connection &connection : qAsConst(d->connections))
        disconnect(connection);
    if (m_instance == this) {
        m_instance = nullptr;
        delete d;
        d = nullptr;
    }
}

BuildManager *BuildManager::instance()
{
    return m_instance;
}

static void writeOutput(const QString &text, BuildStep::OutputFormat format)
{
    emit m_instance->compileOutput(text + '\n', format);
}

bool BuildManager::isBuilding()
{
    return m_instance && d->running;
}

template<typename Predicate>
static bool anyQueuedStep(const Predicate &predicate)
{
    if (!m_instance)
        return false;
    for (const QueuedStep &queued : qAsConst(d->queue)) {
        if (queued.step && predicate(queued))
            return true;
    }
    return false;
}

bool BuildManager::isBuilding(const Project *p)
{
    return anyQueuedStep([p](const QueuedStep &queued) { return queued.step->project() == p; });
}

bool BuildManager::isBuilding(const Target *t)
{
    return anyQueuedStep([t](const QueuedStep &queued) { return queued.step->target() == t; });
}

bool BuildManager::isBuilding(const ProjectConfiguration *p)
{
    return anyQueuedStep([p](const QueuedStep &queued) {
        return queued.step == p || queued.step->projectConfiguration() == p;
    });
}

bool BuildManager::isBuilding(BuildStep *step)
{
    return anyQueuedStep([step](const QueuedStep &queued) { return queued.step == step; });
}

bool BuildManager::isDeploying()
{
    return anyQueuedStep([](const QueuedStep &queued) { return queued.deploying; });
}

bool BuildManager::buildList(BuildStepList *bsl)
{
    return buildLists({bsl});
}

static QList<QueuedStep> stepsToRun(const QList<BuildStepList *> &bsls)
{
    QList<QueuedStep> steps;
    for (BuildStepList *bsl : bsls) {
        QTC_ASSERT(bsl, continue);
        const Target *target = bsl->target();
        const QString projectName = target ? target->project()->displayName() : QString();
        const QString kitName = target && target->kit() ? target->kit()->displayName() : QString();
        bool first = true;
        for (BuildStep *step : bsl->steps()) {
            if (!step->enabled())
                continue;
            const bool deploying = bsl->id() == Constants::BUILDSTEPS_DEPLOY;
            steps.append({step, projectName, kitName, first, deploying});
            first = false;
        }
    }
    return steps;
}

static void writeStepFailure(const QueuedStep &queued)
{
    writeOutput(BuildManager::tr("Error while building/deploying project %1 (kit: %2)")
                    .arg(queued.projectName, queued.kitName),
                BuildStep::OutputFormat::ErrorMessage);
    writeOutput(BuildManager::tr("When executing step \"%1\"")
                    .arg(queued.step ? queued.step->displayName() : QString()),
                BuildStep::OutputFormat::ErrorMessage);
}

bool BuildManager::buildLists(const QList<BuildStepList *> bsls, const QStringList &preambelMessage)
{
    QTC_ASSERT(m_instance, return false);
    if (d->running) {
        writeOutput(tr("A build is running already."), BuildStep::OutputFormat::ErrorMessage);
        return false;
    }

    for (const QString &line : preambelMessage)
        writeOutput(line, BuildStep::OutputFormat::NormalMessage);

    d->queue = stepsToRun(bsls);
    d->canceling = false;
    d->running = true;
    d->stepCount = d->queue.size();
    d->stepsDone = 0;
    d->elapsed.start();
    d->projects.clear();
    for (const QueuedStep &queued : qAsConst(d->queue)) {
        if (Project *project = queued.step->project())
            d->projects.insert(project);
        d->connections.append(
            connect(queued.step.data(),
                    &BuildStep::addOutput,
                    m_instance,
                    [](const QString &string,
                       BuildStep::OutputFormat format,
                       BuildStep::OutputNewlineSetting newlineSetting) {
                        const bool appendNewline = newlineSetting == BuildStep::DoAppendNewline;
                        emit m_instance->compileOutput(appendNewline ? string + '\n' : string,
                                                       format);
                    }));
    }
    for (Project *project : qAsConst(d->projects))
        emit m_instance->buildStateChanged(project);

    for (const QueuedStep &queued : qAsConst(d->queue)) {
        if (!queued.step->init()) {
            writeStepFailure(queued);
            m_instance->finishBuild(false);
            return false;
        }
    }

    QMetaObject::invokeMethod(m_instance, &BuildManager::runNextStep, Qt::QueuedConnection);
    return true;
}

QString BuildManager::displayNameForStepId(Utils::Id stepId)
{
    for (BuildStepFactory *factory : BuildStepFactory::allBuildStepFactories()) {
        if (factory->stepId() == stepId)
            return factory->stepInfo().displayName;
    }
    return stepId.toString();
}

void BuildManager::cancel()
{
    if (!isBuilding() || d->canceling)
        return;
    d->canceling = true;
    writeOutput(tr("Canceling build..."), BuildStep::OutputFormat::NormalMessage);
    if (d->queue.isEmpty() || d->currentFinished)
        return;
    if (BuildStep *current = d->queue.first().step)
        current->cancel();
}

void BuildManager::runNextStep()
{
    if (d->canceling || d->queue.isEmpty()) {
        finishBuild(!d->canceling);
        return;
    }

    const QueuedStep &queued = d->queue.first();
    BuildStep *step = queued.step;
    if (!step) {
        writeOutput(tr("A build step was removed while the project was being built."),
                    BuildStep::OutputFormat::ErrorMessage);
        finishBuild(false);
        return;
    }
    if (queued.firstOfList)
        writeOutput(tr("Running steps for project %1...").arg(queued.projectName),
                    BuildStep::OutputFormat::NormalMessage);

    d->currentStep = step;
    const quint64 run = ++d->currentRun;
    d->currentFinished = false;
    d->currentResult = false;
    const auto onFinished = [this, step](bool success) { stepFinished(step, success); };
    const auto onDestroyed = [this, step] { stepFinished(step, false); };
    const auto onProgress = [this, step](int percent, const QString &message) {
        stepProgress(step, percent, message);
    };
    d->connections << connect(step, &BuildStep::finished, this, onFinished)
                   << connect(step, &QObject::destroyed, this, onDestroyed)
                   << connect(step, &BuildStep::progress, this, onProgress);
    stepProgress(step, 0, QString());

    d->insideRun = true;
    step->run();
    if (run != d->currentRun)
        return; // the build went on inside the run
    d->insideRun = false;

    if (d->currentFinished && d->currentResult)
        QMetaObject::invokeMethod(this, &BuildManager::stepDone, Qt::QueuedConnection);
}

void BuildManager::stepFinished(BuildStep *step, bool success)
{
    // Only the first report of the running step counts.
    if (step != d->currentStep || d->currentFinished)
        return;
    d->currentFinished = true;
    d->currentResult = success;
    // A failure ends the build even while the step's run() is still on the stack; queued, so that
    // the step is not taken away while it emits.
    if (!d->insideRun || !success)
        QMetaObject::invokeMethod(this, &BuildManager::stepDone, Qt::QueuedConnection);
}

void BuildManager::stepProgress(BuildStep *step, int percent, const QString &message)
{
    if (step != d->currentStep || d->currentFinished)
        return;
    const int total = qMax(1, d->stepCount);
    const int overall = (d->stepsDone * 100 + qBound(0, percent, 100)) / total;
    const QString stepText = tr("Step %1 of %2: %3")
                                 .arg(QString::number(d->stepsDone + 1),
                                      QString::number(total),
                                      step->displayName());
    emit buildProgress(overall, message.isEmpty() ? stepText : tr("%1: %2").arg(stepText, message));
}

void BuildManager::stepDone()
{
    QTC_ASSERT(!d->queue.isEmpty(), return );
    const QueuedStep done = d->queue.takeFirst();
    d->currentStep = nullptr;
    ++d->stepsDone;
    if (!d->currentResult) {
        if (!d->canceling)
            writeStepFailure(done);
        finishBuild(false);
        return;
    }
    runNextStep();
}

void BuildManager::finishBuild(bool success)
{
    for (const QMetaObject::Connection &connection : qAsConst(d->connections))
        disconnect(connection);
    d->connections.clear();
    d->queue.clear();
    d->currentStep = nullptr;
    d->running = false;

    if (d->canceling) {
        writeOutput(tr("Canceled build/deployment."), BuildStep::OutputFormat::ErrorMessage);
    } else if (success) {
        const QTime time = QTime(0, 0).addMSecs(int(d->elapsed.elapsed()));
        writeOutput(tr("Elapsed time: %1.").arg(time.toString("mm:ss")),
                    BuildStep::OutputFormat::NormalMessage);
    }
    d->canceling = false;

    const QSet<Project *> projects = d->projects;
    d->projects.clear();
    for (Project *project : projects)
        emit buildStateChanged(project);
    emit buildQueueFinished(success);
}

} // namespace ProjectExplorer
