#include "testproject.h"
#include "teststeps.h"

#include <testide.h>

#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
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
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;
using namespace ProjectExplorer::Internal;

// The project plug-in as the IDE uses it: the project of the command line, the project settings
// file, the "Projects" dialog and the headless build.
class tst_ProjectsPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void projectOfTheCommandLineIsOpenedAndParsed();
    void settingsFileKeepsStepsAndTheirState();
    void projectsDialogShowsAndEditsSteps();
    void headlessBuildWaitsForSettledParse_data();
    void headlessBuildWaitsForSettledParse();
    void headlessBuildReportsFailures_data();
    void headlessBuildReportsFailures();
    void headlessBuildRejectsDialogsThatAskNoPassPhrase();

private:
    Project *openProject(const QString &name, const QByteArray &text = {});
    QString projectDir(const QString &name) const { return m_dir.path() + '/' + name; }
    static QStringList stepNames(BuildStepList *list);

    QTemporaryDir m_dir;
    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<TestStepFactory> m_factory;
};

void tst_ProjectsPlugin::initTestCase()
{
    TestProject::createProjectFile(projectDir("startup"), "startup");
    ProjectManager::registerProjectType<TestProject>(TestProject::mimeType, TestProject::fileSuffix);
    m_ide = std::make_unique<TestIde>(QString(),
                                      QStringList{"ProjectExplorer"},
                                      QStringList{"--trigger",
                                                  "Some.Action",
                                                  projectDir("startup")});
    m_factory.reset(TestStepFactory::make<RecordingStep>(TestProject::recordingStepId, "Recording"));
}

void tst_ProjectsPlugin::cleanupTestCase()
{
    m_factory.reset();
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
    if (!QFile::exists(projectDir(name)))
        TestProject::createProjectFile(projectDir(name), name, text);
    const auto result = ProjectExplorerPlugin::openProject(projectDir(name));
    if (!result)
        qWarning("%s", qPrintable(result.errorMessage()));
    return result.project();
}

QStringList tst_ProjectsPlugin::stepNames(BuildStepList *list)
{
    QStringList names;
    for (BuildStep *step : list->steps())
        names << static_cast<RecordingStep *>(step)->name + (step->enabled() ? "" : " (off)");
    return names;
}

void tst_ProjectsPlugin::projectOfTheCommandLineIsOpenedAndParsed()
{
    QCOMPARE(SessionManager::projects().count(), 1);
    auto project = qobject_cast<TestProject *>(SessionManager::startupProject());
    QVERIFY(project);
    QCOMPARE(project->projectFilePath().toString(), projectDir("startup") + "/startup.testproject");
    QTRY_COMPARE(project->parseCount, 1);
}

void tst_ProjectsPlugin::settingsFileKeepsStepsAndTheirState()
{
    Project *project = openProject("roundtrip");
    QVERIFY(project);
    Target *target = project->activeTarget();
    BuildConfiguration *release = target->buildConfigurations().at(1);
    target->setActiveBuildConfiguration(release);
    release->buildSteps()->at(0)->setEnabled(false);
    auto sign = new RecordingStep(release->buildSteps(), TestProject::recordingStepId);
    sign->name = "sign";
    release->buildSteps()->appendStep(sign);
    SessionManager::removeProject(project);

    project = openProject("roundtrip");
    QVERIFY(project);
    target = project->activeTarget();
    release = target->buildConfigurations().at(1);
    QCOMPARE(target->activeBuildConfiguration(), release);
    QCOMPARE(stepNames(release->buildSteps()), QStringList({"compile (off)", "sign"}));
    QCOMPARE(stepNames(target->buildConfigurations().at(0)->buildSteps()), QStringList("compile"));
}

void tst_ProjectsPlugin::projectsDialogShowsAndEditsSteps()
{
    Project *project = openProject("dialog");
    BuildStepList *steps = project->activeTarget()->buildConfigurations().at(0)->buildSteps();
    auto second = new RecordingStep(steps, TestProject::recordingStepId);
    second->name = "second";
    steps->appendStep(second);

    Core::ActionManager::command(Constants::PROJECTS_DIALOG)->action()->trigger();
    BuildStepsPanel *panel = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto candidate = qobject_cast<BuildStepsPanel *>(widget))
            panel = candidate;
    }
    QVERIFY(panel && panel->isVisible());
    QCOMPARE(panel->entries().count(), 2);
    BuildStepEntry *secondEntry = panel->entries().at(1);
    QVERIFY(!panel->entries().at(0)->moveUpButton()->isEnabled());
    QVERIFY(!secondEntry->moveDownButton()->isEnabled());

    // The check box and the step follow each other.
    secondEntry->enabledCheckBox()->click();
    QVERIFY(!second->enabled());
    second->setEnabled(true);
    QVERIFY(secondEntry->enabledCheckBox()->isChecked());

    secondEntry->moveUpButton()->click();
    QCOMPARE(stepNames(steps), QStringList({"second", "compile"}));
    QPointer<RecordingStep> removed = second;
    panel->entries().at(0)->removeButton()->click();
    QVERIFY(!removed);
    QCOMPARE(panel->entries().count(), 1);

    QComboBox *configurations = panel->configurationComboBox();
    configurations->setCurrentIndex(1);
    emit configurations->activated(1);
    QCOMPARE(panel->stepList(), project->activeTarget()->activeBuildConfiguration()->buildSteps());
    QCOMPARE(project->activeTarget()->activeBuildConfiguration()->displayName(), QString("Release"));
    panel->close();
}

// A stand-in for a platform's project listener: it follows the project's parses and inserts a
// step when its timer, started by each parse, goes off while it is released.
class LateStepInserter : public QObject
{
public:
    LateStepInserter(Project *project, int intervalMs, bool released)
        : released(released)
        , m_target(project->activeTarget())
    {
        project->addParseFollower(this);
        connect(m_target, &Target::parsingFinished, this, [this, intervalMs] {
            m_timer.start(intervalMs, this);
        });
    }

    int rounds = 0;
    bool released;

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

void tst_ProjectsPlugin::headlessBuildWaitsForSettledParse_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("roundsHeld");

    // No further parse comes: a follower waiting for one is not waited for.
    QTest::newRow("follower waits for more parses") << 3600 * 1000 << 0;
    // A follower that keeps its timer running after that still holds the build.
    QTest::newRow("follower still busy") << 20 << 25;
}

void tst_ProjectsPlugin::headlessBuildWaitsForSettledParse()
{
    QFETCH(int, intervalMs);
    QFETCH(int, roundsHeld);
    const QString name = QString("headless-%1").arg(roundsHeld);
    const QString projectFile = TestProject::createProjectFile(projectDir(name), name);
    std::unique_ptr<LateStepInserter> inserter;
    QMetaObject::Connection watch
        = connect(SessionManager::instance(),
                  &SessionManager::projectAdded,
                  this,
                  [&inserter, intervalMs, roundsHeld](Project *project) {
                      inserter = std::make_unique<LateStepInserter>(project,
                                                                    intervalMs,
                                                                    roundsHeld == 0);
                  });

    HeadlessBuild build(projectDir(name));
    QSignalSpy finished(&build, &HeadlessBuild::finished);
    build.start();
    disconnect(watch);
    if (roundsHeld > 0) {
        QTRY_VERIFY_WITH_TIMEOUT(inserter && inserter->rounds >= roundsHeld, 60000);
        QVERIFY(RecordingStep::journal.isEmpty());
        inserter->released = true;
    }
    QVERIFY(finished.wait(30000));

    QCOMPARE(finished.first().first().toBool(), true);
    QCOMPARE(RecordingStep::journal,
             QStringList({"init compile", "init late", "run compile", "run late"}));
    QVERIFY(SessionManager::projects().isEmpty());
    QVERIFY(QFile::exists(projectFile + ".user"));
}

void tst_ProjectsPlugin::headlessBuildReportsFailures_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("projectText");
    QTest::addColumn<QStringList>("journal");

    QTest::newRow("no project") << "does-not-exist" << QByteArray() << QStringList();
    QTest::newRow("parse fails") << "unparsable" << QByteArray("fail") << QStringList();
    QTest::newRow("step fails") << "failing" << QByteArray()
                                << QStringList({"init compile", "run compile"});
}

void tst_ProjectsPlugin::headlessBuildReportsFailures()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, projectText);
    if (name != "does-not-exist")
        TestProject::createProjectFile(projectDir(name), name, projectText);
    QMetaObject::Connection watch
        = connect(SessionManager::instance(), &SessionManager::projectAdded, this, [](Project *p) {
              static_cast<RecordingStep *>(
                  p->activeTarget()->activeBuildConfiguration()->buildSteps()->at(0))
                  ->runResult
                  = false;
          });

    HeadlessBuild build(projectDir(name));
    QSignalSpy finished(&build, &HeadlessBuild::finished);
    build.start();
    QVERIFY(!finished.isEmpty() || finished.wait(30000));
    disconnect(watch);
    QCOMPARE(finished.first().first().toBool(), false);
    QTEST(RecordingStep::journal, "journal");
    QVERIFY(SessionManager::projects().isEmpty());
}

void tst_ProjectsPlugin::headlessBuildRejectsDialogsThatAskNoPassPhrase()
{
    HeadlessDialogAnswerer answerer;
    QDialog dialog;
    new QLabel("Overwrite the packages?", &dialog);
    // Should the answerer miss the dialog, this accepts it rather than leaving the test waiting.
    QTimer::singleShot(30000, &dialog, &QDialog::accept);
    QCOMPARE(dialog.exec(), int(QDialog::Rejected));
}

QTEST_MAIN(tst_ProjectsPlugin)

#include "tst_projectsplugin.moc"
