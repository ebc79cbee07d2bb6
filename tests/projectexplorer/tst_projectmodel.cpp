#include "testproject.h"
#include "teststeps.h"

#include <testide.h>

#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/deployconfiguration.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/projectexplorerconstants.h>
#include <projectexplorer/projectmanager.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>

#include <QFile>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;

// Step lists, step factories, configurations and the project settings file.
class tst_ProjectModel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void stepListEditing();
    void factoryCanHandle_data();
    void factoryCanHandle();
    void stepKnowsItsConfigurations();
    void buildEnvironmentAppliesUserChanges();
    void settingsRoundTrip();
    void stepWithoutFactoryIsDroppedOnRestore();
    void unreadableSettingsAreKeptAside();
    void openProjectFindsTheProjectFile();

private:
    Project *openTestProject(QString name = {});
    RecordingStep *newStep(BuildStepList *list, const QString &name);

    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<TestStepFactory> m_recordingFactory;
    QTemporaryDir m_dir;
};

void tst_ProjectModel::initTestCase()
{
    m_ide = std::make_unique<TestIde>(QString(), QStringList{"ProjectExplorer"});
    QVERIFY(m_dir.isValid());
    qRegisterMetaType<BuildConfiguration *>();
    ProjectManager::registerProjectType<TestProject>(TestProject::mimeType, TestProject::fileSuffix);
    m_recordingFactory.reset(
        TestStepFactory::make<RecordingStep>(TestProject::recordingStepId, "Recording"));
    m_recordingFactory->setSupportedDeviceType(TestProject::deviceType());
}

void tst_ProjectModel::cleanupTestCase()
{
    m_recordingFactory.reset();
    m_ide.reset();
}

void tst_ProjectModel::cleanup()
{
    SessionManager::removeProjects(SessionManager::projects());
}

// Opens the project of that name, made on first use; by default one of the running test's own.
Project *tst_ProjectModel::openTestProject(QString name)
{
    if (name.isEmpty()) {
        name = QString(QTest::currentTestFunction()) + QString(QTest::currentDataTag());
        name.remove(' ');
    }
    const QString dir = m_dir.path() + '/' + name;
    if (!QFile::exists(dir))
        TestProject::createProjectFile(dir, name);
    const auto result = ProjectExplorerPlugin::openProject(dir);
    if (!result)
        qWarning("%s", qPrintable(result.errorMessage()));
    return result.project();
}

RecordingStep *tst_ProjectModel::newStep(BuildStepList *list, const QString &name)
{
    auto step = new RecordingStep(list, TestProject::recordingStepId);
    step->name = name;
    return step;
}

static QStringList stepNames(BuildStepList *list)
{
    QStringList names;
    for (BuildStep *step : list->steps())
        names << static_cast<RecordingStep *>(step)->name;
    return names;
}

void tst_ProjectModel::stepListEditing()
{
    Project *project = openTestProject();
    QVERIFY(project);
    BuildStepList *list = project->activeTarget()->activeBuildConfiguration()->buildSteps();
    QCOMPARE(stepNames(list), QStringList({"compile"}));
    QSignalSpy inserted(list, &BuildStepList::stepInserted);
    QSignalSpy aboutToRemove(list, &BuildStepList::aboutToRemoveStep);
    QSignalSpy removedSignal(list, &BuildStepList::stepRemoved);
    QSignalSpy moved(list, &BuildStepList::stepMoved);

    list->insertStep(0, newStep(list, "first"));
    list->appendStep(newStep(list, "last"));
    list->insertStep(2, newStep(list, "middle"));
    list->insertStep(99, newStep(list, "clamped"));
    QCOMPARE(stepNames(list), QStringList({"first", "compile", "middle", "last", "clamped"}));
    QCOMPARE(inserted.count(), 4);
    QCOMPARE(inserted.at(2).first().toInt(), 2);
    QVERIFY(list->contains(TestProject::recordingStepId));
    QVERIFY(!list->contains("Test.Unknown"));
    QCOMPARE(list->firstStepWithId(TestProject::recordingStepId), list->at(0));
    QCOMPARE(list->firstOfType<RecordingStep>(), list->at(0));
    QCOMPARE(list->firstOfType<ShellStep>(), nullptr);

    list->moveStepUp(2);
    QCOMPARE(stepNames(list), QStringList({"first", "middle", "compile", "last", "clamped"}));
    list->moveStepUp(0); // nothing above the first step
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.first(), QVariantList({2, 1}));

    QPointer<BuildStep> removed = list->at(1);
    QVERIFY(list->removeStep(1));
    QVERIFY(!removed); // the list owns its steps
    QVERIFY(!list->removeStep(4));
    QVERIFY(!list->removeStep(-1));
    QCOMPARE(stepNames(list), QStringList({"first", "compile", "last", "clamped"}));
    QCOMPARE(aboutToRemove.count(), 1);
    QCOMPARE(removedSignal.count(), 1);
    QCOMPARE(removedSignal.first().first().toInt(), 1);

    list->appendStep(Utils::Id(TestProject::recordingStepId)); // made through the factory
    QCOMPARE(list->count(), 5);
    QCOMPARE(list->at(4)->displayName(), QString("Recording"));
}

void tst_ProjectModel::factoryCanHandle_data()
{
    QTest::addColumn<QString>("restriction");
    QTest::addColumn<bool>("inBuildList");
    QTest::addColumn<bool>("inDeployList");
    QTest::addColumn<bool>("inOtherKitBuildList");

    QTest::newRow("build lists of the test device") << "device+build" << true << false << false;
    QTest::newRow("deploy lists of any device") << "deploy" << false << true << false;
    QTest::newRow("test project type") << "project" << true << true << true;
    QTest::newRow("other project type") << "other-project" << false << false << false;
    QTest::newRow("unique step already there") << "not-repeatable" << false << true << true;
}

void tst_ProjectModel::factoryCanHandle()
{
    QFETCH(QString, restriction);
    Project *project = openTestProject();
    Target *target = project->activeTarget();
    BuildStepList *buildList = target->activeBuildConfiguration()->buildSteps();
    BuildStepList *deployList = target->activeDeployConfiguration()->stepList();

    Target *otherTarget = project->addTargetForKit(TestProject::otherKit());
    auto otherConfiguration = new TestBuildConfiguration(otherTarget, "Test.BuildConfiguration");
    otherTarget->addBuildConfiguration(otherConfiguration);

    std::unique_ptr<TestStepFactory> restricted(
        TestStepFactory::make<RecordingStep>(TestProject::recordingStepId, "Restricted"));
    if (restriction == "device+build") {
        restricted->setSupportedStepList(Constants::BUILDSTEPS_BUILD);
        restricted->setSupportedDeviceType(TestProject::deviceType());
    } else if (restriction == "deploy") {
        restricted->setSupportedStepList(Constants::BUILDSTEPS_DEPLOY);
    } else if (restriction == "project") {
        restricted->setSupportedProjectType(TestProject::projectId());
    } else if (restriction == "other-project") {
        restricted->setSupportedProjectType("Other.Project");
    } else if (restriction == "not-repeatable") {
        restricted->setRepeatable(false); // only the Debug list holds the step already
    }
    QVERIFY(BuildStepFactory::allBuildStepFactories().contains(restricted.get()));

    QTEST(restricted->canHandle(buildList), "inBuildList");
    QTEST(restricted->canHandle(deployList), "inDeployList");
    QTEST(restricted->canHandle(otherConfiguration->buildSteps()), "inOtherKitBuildList");

    TestStepFactory *raw = restricted.get();
    restricted.reset();
    QVERIFY(!BuildStepFactory::allBuildStepFactories().contains(raw));
}

void tst_ProjectModel::stepKnowsItsConfigurations()
{
    Project *project = openTestProject();
    Target *target = project->activeTarget();
    BuildConfiguration *debug = target->buildConfigurations().at(0);
    BuildConfiguration *release = target->buildConfigurations().at(1);
    DeployConfiguration *firstDeploy = target->activeDeployConfiguration();
    auto secondDeploy = new DeployConfiguration(target, "Test.DeployConfiguration");
    target->addDeployConfiguration(secondDeploy);
    QCOMPARE(target->activeDeployConfiguration(), firstDeploy);

    BuildStep *buildStep = release->buildSteps()->at(0);
    QCOMPARE(buildStep->stepList(), release->buildSteps());
    QCOMPARE(buildStep->buildConfiguration(), release);
    QCOMPARE(buildStep->target(), target);
    QCOMPARE(buildStep->project(), project);
    QCOMPARE(buildStep->kit(), TestProject::testKit());
    QCOMPARE(buildStep->deployConfiguration(), firstDeploy);
    target->setActiveDeployConfiguration(secondDeploy);
    QCOMPARE(buildStep->deployConfiguration(), secondDeploy);

    auto deployStep = newStep(firstDeploy->stepList(), "deploy");
    firstDeploy->stepList()->appendStep(deployStep);
    QCOMPARE(deployStep->deployConfiguration(), firstDeploy);
    QCOMPARE(deployStep->buildConfiguration(), debug);
    target->setActiveBuildConfiguration(release);
    QCOMPARE(deployStep->buildConfiguration(), release);
    QVERIFY(!debug->isActive());
}

void tst_ProjectModel::buildEnvironmentAppliesUserChanges()
{
    qputenv("QUILLMARK_PE_TEST_UNSET", "present");
    Project *project = openTestProject();
    BuildConfiguration *configuration = project->activeTarget()->activeBuildConfiguration();
    QSignalSpy changed(project->activeTarget(), &Target::buildEnvironmentChanged);

    configuration->setUserEnvironmentChanges({"QUILLMARK_PE_TEST=a=b", "QUILLMARK_PE_TEST_UNSET"});

    const Utils::Environment env = configuration->environment();
    QCOMPARE(env.value("QUILLMARK_PE_TEST"), QString("a=b"));
    QVERIFY(!env.hasKey("QUILLMARK_PE_TEST_UNSET"));
    QVERIFY(configuration->baseEnvironment().hasKey("QUILLMARK_PE_TEST_UNSET"));
    QCOMPARE(env.value("PATH"), QString::fromLocal8Bit(qgetenv("PATH")));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(configuration->buildSteps()->at(0)->buildEnvironment().value("QUILLMARK_PE_TEST"),
             QString("a=b"));
}

void tst_ProjectModel::settingsRoundTrip()
{
    Project *project = openTestProject("roundtrip");
    QVERIFY(project);
    const QString userFile = project->userSettingsFilePath().toString();
    QCOMPARE(userFile, m_dir.path() + "/roundtrip/roundtrip.testproject.user");
    Target *target = project->activeTarget();
    BuildConfiguration *release = target->buildConfigurations().at(1);
    target->setActiveBuildConfiguration(release);
    release->buildSteps()->at(0)->setEnabled(false);
    release->buildSteps()->appendStep(newStep(release->buildSteps(), "sign"));
    release->setUserEnvironmentChanges({"SIGN=1"});
    DeployConfiguration *deploy = target->activeDeployConfiguration();
    deploy->stepList()->appendStep(newStep(deploy->stepList(), "upload"));

    SessionManager::removeProject(project);
    QFile saved(userFile);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(QJsonDocument::fromJson(saved.readAll()).isObject());
    QCOMPARE(QDir(m_dir.path() + "/roundtrip").entryList(QDir::Files | QDir::Hidden).count(), 2);

    RecordingStep::lastRestoredMap.clear();
    project = openTestProject("roundtrip");
    target = project->activeTarget();
    release = target->buildConfigurations().at(1);
    QCOMPARE(target->activeBuildConfiguration(), release);
    QCOMPARE(stepNames(release->buildSteps()), QStringList({"compile", "sign"}));
    QVERIFY(!release->buildSteps()->at(0)->enabled());
    QVERIFY(release->buildSteps()->at(1)->enabled());
    QCOMPARE(release->environment().value("SIGN"), QString("1"));
    QCOMPARE(stepNames(target->activeDeployConfiguration()->stepList()), QStringList({"upload"}));
    QCOMPARE(stepNames(target->buildConfigurations().at(0)->buildSteps()), QStringList({"compile"}));
    // fromMap() got the map that toMap() wrote.
    QCOMPARE(RecordingStep::lastRestoredMap.value("Test.Name").toString(), QString("upload"));
    QCOMPARE(idFromMap(RecordingStep::lastRestoredMap), Utils::Id(TestProject::recordingStepId));
}

void tst_ProjectModel::stepWithoutFactoryIsDroppedOnRestore()
{
    const Utils::Id transientId = "Test.TransientStep";
    auto transientFactory = std::unique_ptr<TestStepFactory>(
        TestStepFactory::make<RecordingStep>(transientId, "Transient"));
    Project *project = openTestProject("dropped");
    BuildStepList *list = project->activeTarget()->activeBuildConfiguration()->buildSteps();
    list->appendStep(transientId);
    list->appendStep(newStep(list, "kept"));
    QCOMPARE(list->count(), 3);
    SessionManager::removeProject(project);

    transientFactory.reset();
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("No factory for build step.*Test.TransientStep"));
    project = openTestProject("dropped");
    list = project->activeTarget()->activeBuildConfiguration()->buildSteps();
    QCOMPARE(stepNames(list), QStringList({"compile", "kept"}));
}

void tst_ProjectModel::unreadableSettingsAreKeptAside()
{
    const QString dir = m_dir.path() + "/corrupt";
    const QString projectFile = TestProject::createProjectFile(dir, "corrupt");
    QFile userFile(projectFile + ".user");
    QVERIFY(userFile.open(QIODevice::WriteOnly));
    userFile.write("{ not json");
    userFile.close();

    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("could not be restored.*not a valid settings file"));
    Project *project = openTestProject("corrupt");
    QCOMPARE(project->activeTarget()->buildConfigurations().count(), 2);
    QFile backup(projectFile + ".user.bak");
    QVERIFY(backup.open(QIODevice::ReadOnly));
    QCOMPARE(backup.readAll(), QByteArray("{ not json"));

    SessionManager::removeProject(project); // saves anew, and the copy aside stays
    QVERIFY(QFile::exists(projectFile + ".user"));
    QVERIFY(backup.exists());
}

void tst_ProjectModel::openProjectFindsTheProjectFile()
{
    const QString nestedDir = m_dir.path() + "/nested";
    const QString nestedFile = TestProject::createProjectFile(nestedDir + "/rpm", "nested");
    auto result = ProjectExplorerPlugin::openProject(nestedDir);
    QVERIFY2(result, qPrintable(result.errorMessage()));
    QCOMPARE(result.project()->projectFilePath().toString(), nestedFile);
    QCOMPARE(result.project()->displayName(), QString("nested"));

    const auto again = ProjectExplorerPlugin::openProject(nestedFile);
    QVERIFY(!again);
    QCOMPARE(again.alreadyOpen(), result.project());
    QCOMPARE(SessionManager::projects().count(), 1);

    TestProject::createProjectFile(m_dir.path() + "/two", "a");
    TestProject::createProjectFile(m_dir.path() + "/two", "b");
    QDir().mkpath(m_dir.path() + "/empty");
    const QList<QPair<QString, QString>> refusals{{"two", "more than one project file"},
                                                  {"two", "a.testproject"},
                                                  {"missing", "does not exist"},
                                                  {"empty", "holds no project file"}};
    for (const auto &refusal : refusals) {
        result = ProjectExplorerPlugin::openProject(m_dir.path() + '/' + refusal.first);
        QVERIFY(!result);
        QVERIFY2(result.errorMessage().contains(refusal.second), qPrintable(refusal.first));
    }
}

QTEST_MAIN(tst_ProjectModel)

#include "tst_projectmodel.moc"
