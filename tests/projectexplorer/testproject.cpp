#include "testproject.h"

#include "teststeps.h"

#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/deployconfiguration.h>
#include <projectexplorer/kit.h>
#include <projectexplorer/kitinformation.h>
#include <projectexplorer/kitmanager.h>
#include <projectexplorer/target.h>

#include <QDir>
#include <QFile>
#include <QTimer>

using namespace ProjectExplorer;

const char TestProject::mimeType[] = "application/x-quillmark-test-project";
const char TestProject::fileSuffix[] = "testproject";
const char TestProject::recordingStepId[] = "Test.RecordingStep";

class TestBuildConfiguration : public BuildConfiguration
{
public:
    explicit TestBuildConfiguration(Target *target)
        : BuildConfiguration(target, "Test.BuildConfiguration")
    {}
};

// The kit of the test projects, registered on first use.
static Kit *testKit()
{
    const Utils::Id kitId = "Test.Kit";
    if (Kit *existing = KitManager::kit(kitId))
        return existing;
    return KitManager::registerKit(
        [](Kit *k) {
            k->setUnexpandedDisplayName("Test Kit");
            DeviceTypeKitAspect::setDeviceTypeId(k, "Test.Device.Type");
        },
        kitId);
}

TestProject::TestProject(const Utils::FilePath &fileName)
    : Project(mimeType, fileName)
{
    setId("Test.Project");
    Target *target = addTargetForKit(testKit());
    for (const QString &name : {QString("Debug"), QString("Release")}) {
        auto configuration = new TestBuildConfiguration(target);
        configuration->setDefaultDisplayName(name);
        auto compile = new RecordingStep(configuration->buildSteps(), recordingStepId);
        compile->name = "compile";
        configuration->buildSteps()->appendStep(compile);
        target->addBuildConfiguration(configuration);
    }
    target->addDeployConfiguration(new DeployConfiguration(target, "Test.DeployConfiguration"));
}

QString TestProject::createProjectFile(const QString &dir,
                                       const QString &name,
                                       const QByteArray &text)
{
    QDir().mkpath(dir);
    const QString path = dir + '/' + name + '.' + fileSuffix;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(text);
    return path;
}

void TestProject::requestParse()
{
    ++parseCount;
    QFile file(projectFilePath().toString());
    const bool success = file.open(QIODevice::ReadOnly) && file.readAll().trimmed() != "fail";
    for (Target *target : targets()) {
        target->emitParsingStarted();
        QTimer::singleShot(0, target, [target, success] { target->emitParsingFinished(success); });
    }
}
