#include "testproject.h"
#include "teststeps.h"

#include <testide.h>

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/coreconstants.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildmanager.h>
#include <projectexplorer/buildstepentry.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/buildstepspanel.h>
#include <projectexplorer/headlessbuild.h>
#include <projectexplorer/headlessdialoganswerer.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/projectexplorerconstants.h>
#include <projectexplorer/projectmanager.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>

#include <QAction>
#include <QApplication>
#include <QBasicTimer>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;
using namespace ProjectExplorer::Internal;

// The plug-in's menus, its "Projects" dialog and the headless build.
class tst_ProjectsPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void menusHoldTheProjectActions();
    void buildActionBuildsTheActiveConfiguration();
    void projectsDialogShowsAndEditsSteps();
    void addStepMenuOffersExactlyTheFactoriesThatCanHandleTheList();
    void headlessBuildWaitsForSettledParse();
    void headlessBuildReportsFailures_data();
    void headlessBuildReportsFailures();
    void headlessBuildRejectsDialogsThatAskNoPassPhrase();
    void ideProcessExitsWithFailureForMissingProject();

private:
    Project *openProject(const QString &name, const QByteArray &text = {});
    QString projectDir(const QString &name) const { return m_dir.path() + '/' + name; }
    BuildStepsPanel *openProjectsDialog();

    std::unique_ptr<TestIde> m_ide;
    std::vector<std::unique_ptr<TestStepFactory>> m_factories;
    QTemporaryDir m_dir;
};

void tst_ProjectsPlugin::initTestCase()
{
    m_ide = std::make_unique<TestIde>(QString(), QStringList{"ProjectExplorer"});
    ProjectManager::registerProjectType<TestProject>(TestProject::mimeType, TestProject::fileSuffix);

    // Only "Recording" and "Unique" suit the build list of the test kit's targets.
    const auto add = [this](Utils::Id id, const QString &name) {
        m_factories.emplace_back(TestStepFactory::make<RecordingStep>(id, name));
        return m_factories.back().get();
    };
    TestStepFactory *build = add(TestProject::recordingStepId, "Recording");
    build->setSupportedStepList(Constants::BUILDSTEPS_BUILD);
    build->setSupportedDeviceType(TestProject::deviceType());
    add("Test.DeployStep", "Deploy Only")->setSupportedStepList(Constants::BUILDSTEPS_DEPLOY);
    add("Test.OtherDevice", "Other Device")->setSupportedDeviceType("Test.OtherDevice.Type");
    add("Test.Uncreatable", "Uncreatable")->setFlags(BuildStepInfo::Uncreatable);
    add("Test.Unique", "Unique")->setFlags(BuildStepInfo::UniqueStep);
}

void tst_ProjectsPlugin::cleanupTestCase()
{
    m_ide.reset();
}

void tst_ProjectsPlugin::init()
{
    RecordingStep::journal.clear();
}

void tst_ProjectsPlugin::cleanup()
{
    QTRY_VERIFY(!BuildManager::isBuilding());
    SessionManager::removeProjects(SessionManager::projects());
}

Project *tst_ProjectsPlugin::openProject(const QString &name, const QByteArray &text)
{
    TestProject::createProjectFile(projectDir(name), name, text);
    const auto result = ProjectExplorerPlugin::openProject(projectDir(name));
    if (!result)
        qWarning("%s", qPrintable(result.errorMessage()));
    return result.project();
}

BuildStepsPanel *tst_ProjectsPlugin::openProjectsDialog()
{
    Core::ActionManager::command(Constants::PROJECTS_DIALOG)->action()->trigger();
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto panel = qobject_cast<BuildStepsPanel *>(widget))
            return panel;
    }
    return nullptr;
}

static QStringList actionTexts(QMenu *menu)
{
    QStringList texts;
    for (QAction *action : menu->actions()) {
        if (!action->isSeparator())
            texts << action->text();
    }
    return texts;
}

void tst_ProjectsPlugin::menusHoldTheProjectActions()
{
    Core::ActionContainer *buildMenu = Core::ActionManager::actionContainer(
        Constants::M_BUILDPROJECT);
    QCOMPARE(buildMenu->menu()->title(), QString("&Build"));
    QCOMPARE(actionTexts(buildMenu->menu()),
             QStringList({"Build Project", "Cancel Build", "Projects..."}));
    const QList<QAction *> menuBarActions
        = Core::ActionManager::actionContainer(Core::Constants::MENU_BAR)->menuBar()->actions();
    QMenu *fileMenu = Core::ActionManager::actionContainer(Core::Constants::M_FILE)->menu();
    const int fileIndex = menuBarActions.indexOf(fileMenu->menuAction());
    QVERIFY(fileIndex >= 0);
    QVERIFY(menuBarActions.indexOf(buildMenu->menu()->menuAction()) > fileIndex);

    const QStringList fileActions = actionTexts(fileMenu);
    const int openIndex = fileActions.indexOf("Open Project...");
    QVERIFY(openIndex >= 0);
    QVERIFY(fileActions.indexOf("Close Project") > openIndex);
    QCOMPARE(fileActions.last(), QString("E&xit")); // the application's exit stays last

    QAction *build = Core::ActionManager::command(Constants::BUILD)->action();
    QAction *cancel = Core::ActionManager::command(Constants::CANCELBUILD)->action();
    QAction *close = Core::ActionManager::command(Constants::CLOSE_PROJECT)->action();
    QVERIFY(!build->isEnabled());
    QVERIFY(!close->isEnabled());
    QVERIFY(!cancel->isEnabled());
    Project *project = openProject("menus");
    QVERIFY(build->isEnabled());
    QVERIFY(close->isEnabled());
    close->trigger();
    QVERIFY(!SessionManager::hasProject(project));
    QVERIFY(!build->isEnabled());
}

void tst_ProjectsPlugin::buildActionBuildsTheActiveConfiguration()
{
    Project *project = openProject("action");
    Target *target = project->activeTarget();
    BuildConfiguration *release = target->buildConfigurations().at(1);
    static_cast<RecordingStep *>(release->buildSteps()->at(0))->name = "release compile";
    static_cast<RecordingStep *>(release->buildSteps()->at(0))->finishMode
        = RecordingStep::Finish::OnCancelOnly;
    target->setActiveBuildConfiguration(release);

    QAction *build = Core::ActionManager::command(Constants::BUILD)->action();
    QAction *cancel = Core::ActionManager::command(Constants::CANCELBUILD)->action();
    build->trigger();
    QTRY_VERIFY(RecordingStep::journal.contains("run release compile"));
    QVERIFY(!build->isEnabled());
    QVERIFY(cancel->isEnabled());
    QVERIFY(!Core::ActionManager::command(Constants::CLOSE_PROJECT)->action()->isEnabled());

    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    cancel->trigger();
    QVERIFY(finished.wait(10000));
    QCOMPARE(RecordingStep::journal,
             QStringList({"init release compile", "run release compile", "cancel release compile"}));
    QVERIFY(build->isEnabled());
}

void tst_ProjectsPlugin::projectsDialogShowsAndEditsSteps()
{
    Project *project = openProject("dialog");
    BuildStepList *debugSteps = project->activeTarget()->buildConfigurations().at(0)->buildSteps();
    auto second = new RecordingStep(debugSteps, TestProject::recordingStepId);
    second->name = "second";
    second->setDefaultDisplayName("Second");
    debugSteps->appendStep(second);

    BuildStepsPanel *panel = openProjectsDialog();
    QVERIFY(panel && panel->isVisible());
    QCOMPARE(panel->windowTitle(), QString("Projects"));
    QCOMPARE(panel->stepList(), debugSteps);
    QCOMPARE(panel->entries().count(), 2);
    BuildStepEntry *secondEntry = panel->entries().at(1);
    QCOMPARE(secondEntry->title(), QString("Second"));
    auto configWidget = qobject_cast<QLabel *>(secondEntry->configWidget());
    QVERIFY(configWidget);
    QCOMPARE(configWidget->text(), QString("settings of second"));
    QVERIFY(!panel->entries().at(0)->moveUpButton()->isEnabled());
    QVERIFY(!secondEntry->moveDownButton()->isEnabled());

    secondEntry->enabledCheckBox()->click();
    QVERIFY(!second->enabled());

    secondEntry->moveUpButton()->click();
    QCOMPARE(debugSteps->at(0), second);
    QCOMPARE(panel->entries().at(0)->step(), second);

    panel->entries().at(0)->moveDownButton()->click();
    QCOMPARE(debugSteps->at(1), second);

    QPointer<RecordingStep> removed = second;
    panel->entries().at(1)->removeButton()->click();
    QVERIFY(!removed);
    QCOMPARE(debugSteps->count(), 1);
    QCOMPARE(panel->entries().count(), 1);

    QComboBox *configurations = panel->configurationComboBox();
    QCOMPARE(configurations->itemText(1), QString("Release"));
    configurations->setCurrentIndex(1);
    emit configurations->activated(1);
    QCOMPARE(project->activeTarget()->activeBuildConfiguration(),
             project->activeTarget()->buildConfigurations().at(1));
    QCOMPARE(panel->stepList(), project->activeTarget()->buildConfigurations().at(1)->buildSteps());

    SessionManager::removeProject(project);
    QCOMPARE(panel->stepList(), nullptr);
    QCOMPARE(panel->entries().count(), 0);
    panel->close();
}

void tst_ProjectsPlugin::addStepMenuOffersExactlyTheFactoriesThatCanHandleTheList()
{
    Project *project = openProject("addmenu");
    BuildStepsPanel *panel = openProjectsDialog();
    QVERIFY(panel);
    QMenu *menu = panel->addStepMenu();
    emit menu->aboutToShow();
    QCOMPARE(actionTexts(menu), QStringList({"Recording", "Unique"}));

    menu->actions().at(1)->trigger();
    BuildStepList *list = project->activeTarget()->activeBuildConfiguration()->buildSteps();
    QCOMPARE(list->at(1)->id(), Utils::Id("Test.Unique"));
    QCOMPARE(panel->entries().count(), 2);

    emit menu->aboutToShow(); // a unique step is offered once per list
    QCOMPARE(actionTexts(menu), QStringList({"Recording"}));
    panel->close();
}

// A stand-in for a platform's project listener: it follows the project's parses and inserts a
// step a while after each, with a timer of its own that it keeps running until it is released.
class LateStepInserter : public QObject
{
public:
    explicit LateStepInserter(Project *project)
        : m_target(project->activeTarget())
    {
        project->addParseFollower(this);
        connect(m_target, &Target::parsingFinished, this, [this] { m_timer.start(20, this); });
    }

    int rounds = 0;
    bool released = false;

protected:
    void timerEvent(QTimerEvent *) override
    {
        ++rounds;
        if (!released)
            return;
        m_timer.stop();
        BuildStepList *list = m_target->activeBuildConfiguration()->buildSteps();
        auto late = new RecordingStep(list, TestProject::recordingStepId);
        late->name = "late";
        list->appendStep(late);
    }

private:
    Target *m_target;
    QBasicTimer m_timer;
};

void tst_ProjectsPlugin::headlessBuildWaitsForSettledParse()
{
    const QString dir = projectDir("headless");
    const QString projectFile = TestProject::createProjectFile(dir, "headless");
    std::unique_ptr<LateStepInserter> inserter;
    QMetaObject::Connection watch = connect(SessionManager::instance(),
                                            &SessionManager::projectAdded,
                                            this,
                                            [&inserter](Project *project) {
                                                inserter = std::make_unique<LateStepInserter>(
                                                    project);
                                            });

    HeadlessBuild build(dir);
    QSignalSpy finished(&build, &HeadlessBuild::finished);
    build.start();
    disconnect(watch);
    // The build waits as long as the follower's timer runs, longer than any fixed wait would.
    QTRY_VERIFY_WITH_TIMEOUT(inserter && inserter->rounds >= 150, 60000);
    QVERIFY(RecordingStep::journal.isEmpty());
    inserter->released = true;
    QVERIFY(finished.wait(30000));

    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(RecordingStep::journal,
             QStringList({"init compile", "init late", "run compile", "run late"}));
    QVERIFY(SessionManager::projects().isEmpty());
    QVERIFY(QFile::exists(projectFile + ".user"));
}

void tst_ProjectsPlugin::headlessBuildReportsFailures_data()
{
    QTest::addColumn<QByteArray>("projectText");
    QTest::addColumn<bool>("failStep");
    QTest::addColumn<QStringList>("journal");

    QTest::newRow("parse fails") << QByteArray("fail") << false << QStringList();
    QTest::newRow("step fails") << QByteArray() << true
                                << QStringList({"init compile", "run compile"});
}

void tst_ProjectsPlugin::headlessBuildReportsFailures()
{
    QFETCH(QByteArray, projectText);
    QFETCH(bool, failStep);
    const QString name = QString("headless-failure-%1").arg(failStep);
    TestProject::createProjectFile(projectDir(name), name, projectText);
    QMetaObject::Connection watch
        = connect(SessionManager::instance(),
                  &SessionManager::projectAdded,
                  this,
                  [failStep](Project *project) {
                      auto step = static_cast<RecordingStep *>(
                          project->activeTarget()->activeBuildConfiguration()->buildSteps()->at(0));
                      step->runResult = !failStep;
                  });

    HeadlessBuild build(projectDir(name));
    QSignalSpy finished(&build, &HeadlessBuild::finished);
    build.start();
    QVERIFY(finished.wait(30000));
    disconnect(watch);
    QCOMPARE(finished.first().first().toBool(), false);
    QTEST(RecordingStep::journal, "journal");
    QVERIFY(SessionManager::projects().isEmpty());

    HeadlessBuild missing(projectDir("does-not-exist"));
    QSignalSpy missingFinished(&missing, &HeadlessBuild::finished);
    missing.start();
    QCOMPARE(missingFinished.count(), 1);
    QCOMPARE(missingFinished.first().first().toBool(), false);
}

void tst_ProjectsPlugin::headlessBuildRejectsDialogsThatAskNoPassPhrase()
{
    HeadlessDialogAnswerer answerer;
    QDialog dialog;
    new QLabel("Overwrite the packages?", &dialog);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
}

void tst_ProjectsPlugin::ideProcessExitsWithFailureForMissingProject()
{
    const QString ide = TestIde::binDir() + "/kelvara-ide";
    if (!QFile::exists(ide))
        QSKIP("bin/kelvara-ide is not built");
    QTemporaryDir settings;
    QProcess process;
    process.start(ide, {"-settingspath", settings.path(), "--build", projectDir("no-such-project")});
    QVERIFY(process.waitForFinished(120000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    QVERIFY2(process.readAllStandardError().contains("does not exist"), "no reason given");
}

QTEST_MAIN(tst_ProjectsPlugin)

#include "tst_projectsplugin.moc"
