#include "testproject.h"
#include "teststeps.h"

#include <testide.h>

#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/icore.h>
#include <coreplugin/outputpanemanager.h>
#include <coreplugin/outputwindow.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildmanager.h>
#include <projectexplorer/buildstepentry.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/buildstepspanel.h>
#include <projectexplorer/headlessbuild.h>
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
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;
using namespace ProjectExplorer::Internal;

using Finish = RecordingStep::Finish;

// The project plug-in as the IDE uses it: the project of the command line, the build manager
// running step lists and process steps, the compile output pane, the project settings file, the
// "Projects" dialog and the headless build. Each test gets a project of its own whose active build
// list starts empty.
class tst_ProjectExplorer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void projectOfTheCommandLineIsOpenedAndParsed();
    void runsEnabledStepsInOrder();
    void failingStepStopsTheBuild_data();
    void failingStepStopsTheBuild();
    void onlyTheFirstReportOfAStepCounts_data();
    void onlyTheFirstReportOfAStepCounts();
    void cancelReachesTheRunningStep_data();
    void cancelReachesTheRunningStep();
    void progressShowsInTheMainWindow();
    void processStepFailsWithItsReason_data();
    void processStepFailsWithItsReason();
    void paneShowsOutputWhileCancelKillsTheProcess();
    void paneFollowsOutputUnlessScrolledUp();
    void settingsFileKeepsStepsAndTheirState();
    void projectsDialogShowsAndEditsSteps();
    void headlessBuildWaitsForSettledParse_data();
    void headlessBuildWaitsForSettledParse();
    void headlessBuildFailsWithoutAParsedProject_data();
    void headlessBuildFailsWithoutAParsedProject();

private:
    RecordingStep *addStep(const QString &name, Finish finish = Finish::Later);
    ShellStep *addShellStep(const QString &script);
    bool buildAndWait(bool *success);
    QString output() const { return m_output.join(QString()); }
    QString projectDir(const QString &name) const { return m_dir.path() + '/' + name; }
    static QStringList stepNames(BuildStepList *list);

    QTemporaryDir m_dir;
    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<RecordingStepFactory> m_factory;
    Project *m_project = nullptr;
    BuildStepList *m_list = nullptr;
    Core::OutputWindow *m_pane = nullptr;
    QStringList m_output;
};

void tst_ProjectExplorer::initTestCase()
{
    TestProject::createProjectFile(projectDir("startup"), "startup");
    ProjectManager::registerProjectType<TestProject>(TestProject::mimeType, TestProject::fileSuffix);
    m_ide = std::make_unique<TestIde>(QString(),
                                      QStringList{"ProjectExplorer"},
                                      QStringList{"--trigger",
                                                  "Some.Action",
                                                  projectDir("startup")});
    m_factory = std::make_unique<RecordingStepFactory>(TestProject::recordingStepId);
    connect(BuildManager::instance(),
            &BuildManager::compileOutput,
            this,
            [this](const QString &text) { m_output << text; });
    m_pane = Core::ICore::mainWindow()->findChild<Core::OutputWindow *>(
        "compileOutputPlainTextEdit");
    QVERIFY(m_pane);
}

void tst_ProjectExplorer::cleanupTestCase()
{
    m_factory.reset();
    m_ide.reset();
}

void tst_ProjectExplorer::init()
{
    const QString dir = projectDir(QTest::currentTestFunction() + QString(QTest::currentDataTag()));
    TestProject::createProjectFile(dir, "build");
    const auto result = ProjectExplorerPlugin::openProject(dir);
    QVERIFY2(result, qPrintable(result.errorMessage()));
    m_project = result.project();
    m_list = m_project->activeTarget()->activeBuildConfiguration()->buildSteps();
    m_list->clear();
    RecordingStep::journal.clear();
    m_output.clear();
}

void tst_ProjectExplorer::cleanup()
{
    QTRY_VERIFY(!BuildManager::isBuilding());
    SessionManager::removeProjects(SessionManager::projects());
}

RecordingStep *tst_ProjectExplorer::addStep(const QString &name, Finish finish)
{
    auto step = new RecordingStep(m_list, TestProject::recordingStepId);
    step->name = name;
    step->setDefaultDisplayName("Step " + name);
    step->finishMode = finish;
    m_list->appendStep(step);
    return step;
}

ShellStep *tst_ProjectExplorer::addShellStep(const QString &script)
{
    auto step = new ShellStep(m_list, "Test.ShellStep");
    step->setDefaultDisplayName("Shell");
    step->setScript(script);
    m_list->appendStep(step);
    return step;
}

// Builds the list and waits for the end of the build queue.
bool tst_ProjectExplorer::buildAndWait(bool *success)
{
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    const bool started = BuildManager::buildList(m_list);
    if (finished.isEmpty() && !finished.wait(60000))
        return false;
    *success = started && finished.first().first().toBool();
    return finished.count() == 1;
}

QStringList tst_ProjectExplorer::stepNames(BuildStepList *list)
{
    QStringList names;
    for (BuildStep *step : list->steps())
        names << static_cast<RecordingStep *>(step)->name + (step->enabled() ? "" : " (off)");
    return names;
}

// The project of the command line was the first to open, before init() opened the test's.
void tst_ProjectExplorer::projectOfTheCommandLineIsOpenedAndParsed()
{
    auto project = qobject_cast<TestProject *>(SessionManager::startupProject());
    QVERIFY(project);
    QCOMPARE(project->projectFilePath().toString(), projectDir("startup") + "/startup.testproject");
    QCOMPARE(SessionManager::projects(), QList<Project *>({project, m_project}));
    QTRY_COMPARE(project->parseCount, 1);
}

void tst_ProjectExplorer::runsEnabledStepsInOrder()
{
    addStep("a");
    addStep("b")->setEnabled(false);
    addStep("c", Finish::InsideRun);
    addStep("d");

    bool success = false;
    QVERIFY(buildAndWait(&success));
    QVERIFY(success);
    QCOMPARE(RecordingStep::journal,
             QStringList({"init a", "init c", "init d", "run a", "run c", "run d"}));
}

void tst_ProjectExplorer::failingStepStopsTheBuild_data()
{
    QTest::addColumn<bool>("inInit");
    QTest::addColumn<QStringList>("journal");
    QTest::newRow("init") << true << QStringList({"init a", "init b"});
    QTest::newRow("run") << false << QStringList({"init a", "init b", "init c", "run a", "run b"});
}

void tst_ProjectExplorer::failingStepStopsTheBuild()
{
    QFETCH(bool, inInit);
    addStep("a");
    RecordingStep *failing = addStep("b");
    (inInit ? failing->initResult : failing->runResult) = false;
    addStep("c");

    bool success = true;
    QVERIFY(buildAndWait(&success));
    QVERIFY(!success);
    QTEST(RecordingStep::journal, "journal");
    QVERIFY(output().contains("When executing step \"Step b\""));
}

void tst_ProjectExplorer::onlyTheFirstReportOfAStepCounts_data()
{
    QTest::addColumn<bool>("result");
    QTest::newRow("success first") << true;
    QTest::newRow("failure first") << false;
}

void tst_ProjectExplorer::onlyTheFirstReportOfAStepCounts()
{
    QFETCH(bool, result);
    addStep("a", Finish::Twice)->runResult = result;
    addStep("b");
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);

    bool success = !result;
    QVERIFY(buildAndWait(&success));
    QCOMPARE(success, result);
    QCOMPARE(RecordingStep::journal.contains("run b"), result);
    QTRY_VERIFY(RecordingStep::journal.contains("again a"));
    QCOMPARE(finished.count(), 1);
}

void tst_ProjectExplorer::cancelReachesTheRunningStep_data()
{
    QTest::addColumn<int>("finishMode");
    QTest::addColumn<QStringList>("journal");
    const QStringList start{"init a", "init b", "init c", "run a", "run b", "cancel b"};
    QTest::newRow("waiting step") << int(Finish::OnCancelOnly) << start + QStringList{"ended"};
    // The build ends at the step's report, while its run() still waits in the nested loop.
    QTest::newRow("step in a nested event loop")
        << int(Finish::InNestedLoop) << start + QStringList{"ended", "return b"};
}

void tst_ProjectExplorer::cancelReachesTheRunningStep()
{
    QFETCH(int, finishMode);
    QFETCH(QStringList, journal);
    addStep("a");
    addStep("b", Finish(finishMode));
    addStep("c");

    // The user cancels from the menu once step b runs.
    QAction *cancelAction = Core::ActionManager::command(Constants::CANCELBUILD)->action();
    QObject context;
    connect(BuildManager::instance(),
            &BuildManager::buildProgress,
            &context,
            [cancelAction](int, const QString &text) {
                if (text.endsWith("Step b"))
                    QTimer::singleShot(0, cancelAction, &QAction::trigger);
            });
    connect(BuildManager::instance(), &BuildManager::buildQueueFinished, &context, [] {
        RecordingStep::journal << "ended";
    });
    bool success = true;
    QVERIFY(buildAndWait(&success));
    QVERIFY(!success);
    QTRY_COMPARE(RecordingStep::journal, journal);
    QVERIFY(output().contains("Canceled build/deployment."));
    QVERIFY(!output().contains("When executing step"));
}

void tst_ProjectExplorer::progressShowsInTheMainWindow()
{
    addStep("a")->progressReports = {{50, "halfway"}, {150, "beyond"}};
    addStep("b");
    auto label = Core::ICore::mainWindow()->findChild<QLabel *>("BuildProgressLabel");
    auto bar = Core::ICore::mainWindow()->findChild<QProgressBar *>("BuildProgressBar");
    QVERIFY(label && bar);

    QList<QPair<int, QString>> shown;
    QObject context;
    connect(BuildManager::instance(), &BuildManager::buildProgress, &context, [&shown, label, bar] {
        shown.append({bar->value(), label->text()});
    });
    bool success = false;
    QVERIFY(buildAndWait(&success));
    QVERIFY(success);
    const QList<QPair<int, QString>> expected{{0, "Step 1 of 2: Step a"},
                                              {25, "Step 1 of 2: Step a: halfway"},
                                              {50, "Step 1 of 2: Step a: beyond"},
                                              {50, "Step 2 of 2: Step b"}};
    QCOMPARE(shown, expected);
    QCOMPARE(bar->value(), 100);

    // A long text is elided in the window, not widening it, and is whole in the tool tip.
    const QString longText = "Step 2 of 2: Sign: " + QString("/folder").repeated(400) + "/a.rpm";
    emit BuildManager::instance()->buildProgress(60, longText);
    QMainWindow *window = Core::ICore::mainWindow();
    // The label asks the status bar for room through a chain of layout requests.
    for (int i = 0; i < 3; ++i)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QVERIFY(window->statusBar()->minimumSizeHint().width() < window->width());
    window->grab();
    QCOMPARE(label->text(), longText);
    QCOMPARE(label->toolTip(), longText);
}

void tst_ProjectExplorer::processStepFailsWithItsReason_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("exit code") << "echo problem >&2; exit 3"
                               << QStringList({"problem\n", "exited with code 3."});
    QTest::newRow("missing program")
        << QString() << QStringList("\"no-such-program-xyz\" was not found.");
}

// A process step hands on the lines of its process and fails when the process does.
void tst_ProjectExplorer::processStepFailsWithItsReason()
{
    QFETCH(QString, script);
    QFETCH(QStringList, texts);
    ShellStep *step = addShellStep(script);
    if (script.isEmpty())
        step->setCommandLineProvider([] { return Utils::CommandLine("no-such-program-xyz"); });
    QString added;
    connect(step, &BuildStep::addOutput, this, [&added](const QString &text) { added += text; });

    bool success = true;
    QVERIFY(buildAndWait(&success));
    QVERIFY(!success);
    for (const QString &text : texts)
        QVERIFY2(added.contains(text), qPrintable(added));
}

// Running: neither gone nor a zombie that nobody reaped.
static bool isRunning(const QString &pid)
{
    QFile stat("/proc/" + pid + "/stat");
    return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
}

void tst_ProjectExplorer::paneShowsOutputWhileCancelKillsTheProcess()
{
    // The process leads a process group of its own, with a child in it, as a run command does.
    const QString childPidFile = m_dir.filePath("child.pid");
    addShellStep(QString("exec setsid sh -c 'sleep 600 & echo $! > %1; echo waiting; wait'")
                     .arg(childPidFile));
    m_pane->clear();
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QVERIFY(BuildManager::buildList(m_list));
    QTRY_VERIFY_WITH_TIMEOUT(m_pane->toPlainText().contains("waiting\n"), 30000);

    BuildManager::cancel();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(output().contains("crashed"));
    QFile childPid(childPidFile);
    QVERIFY(childPid.open(QIODevice::ReadOnly));
    const QString child = childPid.readAll().trimmed();
    QTRY_VERIFY_WITH_TIMEOUT(!isRunning(child), 30000);
}

void tst_ProjectExplorer::paneFollowsOutputUnlessScrolledUp()
{
    Core::OutputPaneManager::showPane(m_pane);
    const auto shownLine = [this](int y) {
        return m_pane->cursorForPosition({0, y}).blockNumber();
    };
    // The view shows the last lines and is filled with lines.
    const auto showsEnd = [&] {
        const int lastLine = m_pane->document()->blockCount() - 1;
        return shownLine(m_pane->viewport()->height() - 1) == lastLine
               && shownLine(0) < lastLine - 3;
    };
    addShellStep("i=1; while [ $i -le 300 ]; do echo \"line $i\"; i=$((i+1)); done");

    bool success = false;
    QVERIFY(buildAndWait(&success));
    QTRY_VERIFY(showsEnd());

    m_pane->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    QVERIFY(buildAndWait(&success));
    QCOMPARE(shownLine(0), 0);

    m_pane->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    QVERIFY(buildAndWait(&success));
    QTRY_VERIFY(showsEnd());
}

void tst_ProjectExplorer::settingsFileKeepsStepsAndTheirState()
{
    Target *target = m_project->activeTarget();
    BuildConfiguration *release = target->buildConfigurations().at(1);
    target->setActiveBuildConfiguration(release);
    release->buildSteps()->at(0)->setEnabled(false);
    auto sign = new RecordingStep(release->buildSteps(), TestProject::recordingStepId);
    sign->name = "sign";
    release->buildSteps()->appendStep(sign);
    const QString path = m_project->projectFilePath().toString();
    SessionManager::removeProject(m_project);

    const auto result = ProjectExplorerPlugin::openProject(path);
    QVERIFY2(result, qPrintable(result.errorMessage()));
    target = result.project()->activeTarget();
    release = target->buildConfigurations().at(1);
    QCOMPARE(target->activeBuildConfiguration(), release);
    QCOMPARE(stepNames(release->buildSteps()), QStringList({"compile (off)", "sign"}));
    QCOMPARE(stepNames(target->buildConfigurations().at(0)->buildSteps()), QStringList());
}

void tst_ProjectExplorer::projectsDialogShowsAndEditsSteps()
{
    addStep("first");
    RecordingStep *second = addStep("second");

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
    QCOMPARE(stepNames(m_list), QStringList({"second", "first"}));
    QPointer<RecordingStep> removed = second;
    panel->entries().at(0)->removeButton()->click();
    QVERIFY(!removed);
    QCOMPARE(panel->entries().count(), 1);

    QComboBox *configurations = panel->configurationComboBox();
    configurations->setCurrentIndex(1);
    emit configurations->activated(1);
    BuildConfiguration *release = m_project->activeTarget()->buildConfigurations().at(1);
    QCOMPARE(m_project->activeTarget()->activeBuildConfiguration(), release);
    QCOMPARE(panel->stepList(), release->buildSteps());
    panel->close();
}

// A stand-in for a platform's project listener: it follows the project's parses and inserts a step
// when its timer, started by each parse, goes off while it is released.
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

void tst_ProjectExplorer::headlessBuildWaitsForSettledParse_data()
{
    QTest::addColumn<int>("intervalMs");
    QTest::addColumn<int>("roundsHeld");

    // No further parse comes: a follower waiting for one is not waited for.
    QTest::newRow("follower waits for more parses") << 3600 * 1000 << 0;
    // A follower that keeps its timer running after that still holds the build.
    QTest::newRow("follower still busy") << 20 << 25;
}

void tst_ProjectExplorer::headlessBuildWaitsForSettledParse()
{
    QFETCH(int, intervalMs);
    QFETCH(int, roundsHeld);
    SessionManager::removeProjects(SessionManager::projects()); // a headless build starts alone
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

void tst_ProjectExplorer::headlessBuildFailsWithoutAParsedProject_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("no project") << "does-not-exist";
    QTest::newRow("parse fails") << "unparsable";
}

void tst_ProjectExplorer::headlessBuildFailsWithoutAParsedProject()
{
    QFETCH(QString, name);
    SessionManager::removeProjects(SessionManager::projects());
    if (name == "unparsable")
        TestProject::createProjectFile(projectDir(name), name, "fail");

    HeadlessBuild build(projectDir(name));
    QSignalSpy finished(&build, &HeadlessBuild::finished);
    build.start();
    QVERIFY(!finished.isEmpty() || finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(RecordingStep::journal.isEmpty());
    QVERIFY(SessionManager::projects().isEmpty());
}

QTEST_MAIN(tst_ProjectExplorer)

#include "tst_projectexplorer.moc"
