#include "pkgsealstep.h"
#include "projectlistener/projectlistener.h"

#include <testide.h>
#include <testsdk.h>

#include <kelvara/kambuildstep.h>
#include <kelvara/kamconstants.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/kit.h>
#include <projectexplorer/kitinformation.h>
#include <projectexplorer/kitmanager.h>
#include <projectexplorer/project.h>
#include <projectexplorer/target.h>

#include <QtTest>

#include <memory>

using namespace ProjectExplorer;
using namespace Quillmark::Internal;
using Kam::Internal::KamBuildStep;

namespace {

class TestBuildConfiguration : public BuildConfiguration
{
public:
    TestBuildConfiguration(Target *target, bool withPlatformStep)
        : BuildConfiguration(target, "Test.BuildConfiguration")
    {
        if (withPlatformStep)
            buildSteps()->appendStep(new KamBuildStep(buildSteps(), KamBuildStep::stepId()));
    }
};

// A project with one target per kit; each target has two configurations with the platform
// build step and a third one without it.
class TestProject : public Project
{
public:
    explicit TestProject(const QList<Kit *> &kits)
        : Project("text/x-test-project", Utils::FilePath::fromString("/test/project.test"))
    {
        for (Kit *kit : kits)
            addTarget(kit);
    }

    Target *addTarget(Kit *kit)
    {
        Target *target = addTargetForKit(kit);
        target->addBuildConfiguration(new TestBuildConfiguration(target, true));
        target->addBuildConfiguration(new TestBuildConfiguration(target, true));
        target->addBuildConfiguration(new TestBuildConfiguration(target, false));
        return target;
    }
};

class TestListener : public ProjectListener
{
public:
    using ProjectListener::attachProject;
    using ProjectListener::detachProject;
    using ProjectListener::ProjectListener;
};

// Counts the listener's passes (its timer events).
class PassCounter : public QObject
{
public:
    explicit PassCounter(QObject *listener) { listener->installEventFilter(this); }

    bool eventFilter(QObject *, QEvent *event) override
    {
        passes += event->type() == QEvent::Timer ? 1 : 0;
        return false;
    }

    int passes = 0;
};

QList<Utils::Id> stepIds(BuildStepList *steps)
{
    QList<Utils::Id> ids;
    for (BuildStep *step : steps->steps())
        ids.append(step->id());
    return ids;
}

const QList<Utils::Id> signedList = {KamBuildStep::stepId(), PkgsealStep::stepId()};
const QList<Utils::Id> unsignedList = {KamBuildStep::stepId()};

// Every configuration with the platform step has the sign step right after it; the others
// stay empty.
bool hasSignSteps(Target *target)
{
    const QList<BuildConfiguration *> configurations = target->buildConfigurations();
    return stepIds(configurations.at(0)->buildSteps()) == signedList
           && stepIds(configurations.at(1)->buildSteps()) == signedList
           && configurations.at(2)->buildSteps()->isEmpty();
}

bool hasNoSignStep(Target *target)
{
    for (BuildConfiguration *configuration : target->buildConfigurations()) {
        if (configuration->buildSteps()->contains(PkgsealStep::stepId()))
            return false;
    }
    return true;
}

} // namespace

class tst_ProjectListener : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void onePassAfterTheLastParse();
    void stepBeforeBuildStepStays();
    void detachDropsPendingTargets();
    void removedTargetIsNotProcessed();
    void foreignSenderIsRefused();

private:
    std::unique_ptr<TestProject> makeProject(int targetCount = 2);

    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    QList<Kit *> m_kits;
};

void tst_ProjectListener::initTestCase()
{
    m_sdk = std::make_unique<TestSdk>();
    m_sdk->save();
    m_ide = std::make_unique<TestIde>(m_sdk->path());
    for (int i = 0; i < 3; ++i) {
        Kit *kit = KitManager::registerKit(
            [i](Kit *k) {
                k->setUnexpandedDisplayName(QString("Listener Test Kit %1").arg(i));
                DeviceTypeKitAspect::setDeviceTypeId(k, Kam::Constants::KAM_DEVICE_TYPE);
            },
            Utils::Id("Test.ListenerKit").withSuffix(i));
        QVERIFY(kit);
        m_kits.append(kit);
    }
}

void tst_ProjectListener::cleanupTestCase()
{
    m_ide.reset();
    m_sdk.reset();
}

std::unique_ptr<TestProject> tst_ProjectListener::makeProject(int targetCount)
{
    return std::make_unique<TestProject>(m_kits.mid(0, targetCount));
}

void tst_ProjectListener::onePassAfterTheLastParse()
{
    const auto project = makeProject();
    TestListener listener;
    PassCounter counter(&listener);
    QVERIFY(listener.attachProject(project.get()));
    QVERIFY(listener.attachProject(project.get()));
    Target *first = project->targets().at(0);
    Target *second = project->targets().at(1);

    // A burst of parses, a failed one too, makes one pass.
    emit first->parsingFinished(true);
    emit second->parsingFinished(false);

    QTRY_VERIFY_WITH_TIMEOUT(hasSignSteps(first) && hasSignSteps(second), 10000);
    QCOMPARE(counter.passes, 1);

    // A target queued twice is processed twice; the second time nothing changes.
    emit first->parsingFinished(true);
    emit first->parsingFinished(true);
    QTRY_COMPARE_WITH_TIMEOUT(counter.passes, 2, 10000);
    QVERIFY(hasSignSteps(first));
    QVERIFY(hasSignSteps(second));

    // A step the user removed comes back after the next parse.
    BuildStepList *steps = first->buildConfigurations().first()->buildSteps();
    QVERIFY(steps->removeStep(1));
    QCOMPARE(stepIds(steps), unsignedList);
    emit first->parsingFinished(true);
    QTRY_COMPARE_WITH_TIMEOUT(counter.passes, 3, 10000);
    QVERIFY(hasSignSteps(first));
}

void tst_ProjectListener::stepBeforeBuildStepStays()
{
    const auto project = makeProject(1);
    Target *target = project->targets().first();
    BuildStepList *steps = target->buildConfigurations().first()->buildSteps();
    steps->insertStep(0, new PkgsealStep(steps, PkgsealStep::stepId()));
    // A disabled sign step counts as well.
    BuildStepList *otherSteps = target->buildConfigurations().at(1)->buildSteps();
    auto disabled = new PkgsealStep(otherSteps, PkgsealStep::stepId());
    disabled->setEnabled(false);
    otherSteps->appendStep(disabled);

    TestListener listener;
    PassCounter counter(&listener);
    listener.attachProject(project.get());
    emit target->parsingFinished(true);
    QTRY_COMPARE_WITH_TIMEOUT(counter.passes, 1, 10000);

    QCOMPARE(stepIds(steps), QList<Utils::Id>({PkgsealStep::stepId(), KamBuildStep::stepId()}));
    QCOMPARE(stepIds(otherSteps), signedList);
    QVERIFY(target->buildConfigurations().at(2)->buildSteps()->isEmpty());
}

void tst_ProjectListener::detachDropsPendingTargets()
{
    const auto detached = makeProject(2);
    const auto kept = std::make_unique<TestProject>(m_kits.mid(2, 1));
    TestListener listener;
    PassCounter counter(&listener);
    listener.attachProject(detached.get());
    listener.attachProject(kept.get());

    // Detached between the parse and the timer: the pending targets go, and the timer that
    // fires then finds nothing to do.
    emit detached->targets().at(0)->parsingFinished(true);
    emit detached->targets().at(1)->parsingFinished(true);
    QVERIFY(listener.detachProject(detached.get()));
    QTRY_COMPARE_WITH_TIMEOUT(counter.passes, 1, 10000);
    QVERIFY(hasNoSignStep(detached->targets().at(0)));
    QVERIFY(hasNoSignStep(detached->targets().at(1)));

    // Its targets are not watched any more, nor is a target added after the attach.
    Target *added = kept->addTarget(m_kits.at(0));
    emit detached->targets().at(0)->parsingFinished(true);
    emit added->parsingFinished(true);
    emit kept->targets().at(0)->parsingFinished(true);
    QTRY_COMPARE_WITH_TIMEOUT(counter.passes, 2, 10000);
    QVERIFY(hasSignSteps(kept->targets().at(0)));
    QVERIFY(hasNoSignStep(detached->targets().at(0)));
    QVERIFY(hasNoSignStep(added));

    // Attached again, they are watched.
    listener.attachProject(detached.get());
    listener.attachProject(kept.get());
    emit detached->targets().at(1)->parsingFinished(true);
    emit added->parsingFinished(true);
    QTRY_VERIFY_WITH_TIMEOUT(hasSignSteps(detached->targets().at(1)) && hasSignSteps(added), 10000);
}

void tst_ProjectListener::removedTargetIsNotProcessed()
{
    const auto project = makeProject(3);
    TestListener listener;
    PassCounter counter(&listener);
    listener.attachProject(project.get());
    Target *first = project->targets().at(0);
    Target *second = project->targets().at(1);
    Target *kept = project->targets().at(2);

    emit first->parsingFinished(true);
    emit second->parsingFinished(true);
    emit kept->parsingFinished(true);
    emit first->parsingFinished(true);
    const QPointer<Target> firstGuard(first);
    const QPointer<Target> secondGuard(second);
    QVERIFY(project->removeTarget(first));
    QVERIFY(project->removeTarget(second));
    QTRY_COMPARE_WITH_TIMEOUT(counter.passes, 1, 10000);

    QVERIFY(hasSignSteps(kept));
    // Whether the project deleted them at once or not, they were not processed.
    for (const QPointer<Target> &removed : {firstGuard, secondGuard}) {
        if (removed)
            QVERIFY(hasNoSignStep(removed));
    }
}

void tst_ProjectListener::foreignSenderIsRefused()
{
    static QStringList messages;
    messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &message) {
            messages.append(message);
        });
    TestListener listener;
    QVERIFY(QMetaObject::invokeMethod(&listener, "scheduleProjectUpdate"));
    qInstallMessageHandler(previous);

    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages.first().startsWith("SOFT ASSERT: \"target\" in file "),
             qPrintable(messages.first()));
    QVERIFY(messages.first().contains("projectlistener.cpp"));
}

QTEST_MAIN(tst_ProjectListener)

#include "tst_projectlistener.moc"
