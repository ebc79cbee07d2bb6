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

// Counts its passes (its timer events).
class TestListener : public ProjectListener
{
public:
    using ProjectListener::attachProject;
    using ProjectListener::detachProject;
    using ProjectListener::ProjectListener;

    void timerEvent(QTimerEvent *event) override
    {
        ++passes;
        ProjectListener::timerEvent(event);
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
// The listener's passes come within this, even on a loaded machine.
const int deadline = 20000;

// Every configuration with the platform step has the sign step right after it; the others
// stay empty.
bool hasSignSteps(Target *target)
{
    const QList<BuildConfiguration *> configurations = target->buildConfigurations();
    return stepIds(configurations.at(0)->buildSteps()) == signedList
           && stepIds(configurations.at(1)->buildSteps()) == signedList
           && configurations.at(2)->buildSteps()->isEmpty();
}

bool hasNoSignStep(const Target *target)
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

    void passesAfterTheParsesSettle();

private:
    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    QList<Kit *> m_kits;
};

void tst_ProjectListener::initTestCase()
{
    m_sdk = std::make_unique<TestSdk>();
    m_ide = std::make_unique<TestIde>(m_sdk->path());
    for (int i = 0; i < 4; ++i) {
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

// Each pass waits out the settle time, so one pass checks several rules at once.
void tst_ProjectListener::passesAfterTheParsesSettle()
{
    TestProject project(m_kits.mid(0, 3));
    TestProject detached(m_kits.mid(0, 2));
    TestListener listener;
    QVERIFY(listener.attachProject(&project));
    QVERIFY(listener.attachProject(&project));
    QVERIFY(listener.attachProject(&detached));
    Target *plain = project.targets().at(0);
    Target *prepared = project.targets().at(1);
    Target *removed = project.targets().at(2);
    // A sign step that stands before the build step stays there; a disabled one counts too.
    BuildStepList *signFirst = prepared->buildConfigurations().first()->buildSteps();
    signFirst->insertStep(0, new PkgsealStep(signFirst, PkgsealStep::stepId()));
    BuildStepList *disabledSign = plain->buildConfigurations().at(1)->buildSteps();
    auto disabled = new PkgsealStep(disabledSign, PkgsealStep::stepId());
    disabled->setEnabled(false);
    disabledSign->appendStep(disabled);
    // Not watched: a target added after the attach, the targets of a detached project, and
    // the pending ones of a project detached or a target removed before the pass.
    Target *added = project.addTarget(m_kits.at(3));

    // A burst of parses, a failed one and a target queued twice too, makes one pass.
    emit plain->parsingFinished(false);
    emit prepared->parsingFinished(true);
    emit removed->parsingFinished(true);
    emit prepared->parsingFinished(true);
    emit added->parsingFinished(true);
    for (Target *target : detached.targets())
        emit target->parsingFinished(true);
    QVERIFY(listener.detachProject(&detached));
    emit detached.targets().at(0)->parsingFinished(true);
    const QPointer<Target> removedGuard(removed);
    QVERIFY(project.removeTarget(removed));
    QTRY_COMPARE_WITH_TIMEOUT(listener.passes, 1, deadline);

    QVERIFY(hasSignSteps(plain));
    QCOMPARE(stepIds(signFirst), QList<Utils::Id>({PkgsealStep::stepId(), KamBuildStep::stepId()}));
    QCOMPARE(stepIds(prepared->buildConfigurations().at(1)->buildSteps()), signedList);
    QVERIFY(prepared->buildConfigurations().at(2)->buildSteps()->isEmpty());
    // Whether the project deleted it at once or not, the removed target was not processed.
    QVERIFY(!removedGuard || hasNoSignStep(removedGuard));
    QVERIFY(hasNoSignStep(added));
    for (const Target *target : detached.targets())
        QVERIFY(hasNoSignStep(target));

    // A step the user removed comes back after the next parse; attached again, the projects'
    // targets are all watched.
    QVERIFY(plain->buildConfigurations().first()->buildSteps()->removeStep(1));
    QVERIFY(listener.attachProject(&detached));
    QVERIFY(listener.attachProject(&project));
    emit plain->parsingFinished(true);
    emit added->parsingFinished(true);
    emit detached.targets().at(1)->parsingFinished(true);
    QTRY_COMPARE_WITH_TIMEOUT(listener.passes, 2, deadline);
    QVERIFY(hasSignSteps(plain));
    QVERIFY(hasSignSteps(added));
    QVERIFY(hasSignSteps(detached.targets().at(1)));
}

QTEST_MAIN(tst_ProjectListener)

#include "tst_projectlistener.moc"
