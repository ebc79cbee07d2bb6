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
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/projectexplorerconstants.h>
#include <projectexplorer/projectmanager.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

using namespace ProjectExplorer;

using Finish = RecordingStep::Finish;

// The build manager running step lists and process steps, and the compile output pane.
class tst_BuildManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void runsEnabledStepsInOrder();
    void failingStepStopsTheBuild_data();
    void failingStepStopsTheBuild();
    void onlyTheFirstReportOfAStepCounts_data();
    void onlyTheFirstReportOfAStepCounts();
    void cancelReachesTheRunningStep_data();
    void cancelReachesTheRunningStep();
    void progressShowsInTheMainWindow();
    void processStepHandsOnLinesAndExitCode_data();
    void processStepHandsOnLinesAndExitCode();
    void processStepJoinsALineWrittenInParts();
    void paneShowsOutputWhileCancelKillsTheProcess();
    void paneFollowsOutputUnlessScrolledUp();

private:
    RecordingStep *addStep(const QString &name, Finish finish = Finish::Later);
    ShellStep *addShellStep(const QString &script);
    bool buildAndWait(bool *success);
    QString output() const { return m_output.join(QString()); }

    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<TestStepFactory> m_factory;
    QTemporaryDir m_dir;
    BuildStepList *m_list = nullptr;
    Core::OutputWindow *m_pane = nullptr;
    QStringList m_output;
};

void tst_BuildManager::initTestCase()
{
    m_ide = std::make_unique<TestIde>(QString(), QStringList{"ProjectExplorer"});
    ProjectManager::registerProjectType<TestProject>(TestProject::mimeType, TestProject::fileSuffix);
    m_factory.reset(TestStepFactory::make<RecordingStep>(TestProject::recordingStepId, "Recording"));
    connect(BuildManager::instance(),
            &BuildManager::compileOutput,
            this,
            [this](const QString &text) { m_output << text; });
    m_pane = Core::ICore::mainWindow()->findChild<Core::OutputWindow *>(
        "compileOutputPlainTextEdit");
    QVERIFY(m_pane);
}

void tst_BuildManager::cleanupTestCase()
{
    m_factory.reset();
    m_ide.reset();
}

void tst_BuildManager::init()
{
    const QString dir = m_dir.path() + '/' + QTest::currentTestFunction() + QTest::currentDataTag();
    TestProject::createProjectFile(dir, "build");
    const auto result = ProjectExplorerPlugin::openProject(dir);
    QVERIFY2(result, qPrintable(result.errorMessage()));
    m_list = result.project()->activeTarget()->activeBuildConfiguration()->buildSteps();
    m_list->clear();
    RecordingStep::journal.clear();
    m_output.clear();
}

void tst_BuildManager::cleanup()
{
    QTRY_VERIFY(!BuildManager::isBuilding());
    SessionManager::removeProjects(SessionManager::projects());
}

RecordingStep *tst_BuildManager::addStep(const QString &name, Finish finish)
{
    auto step = new RecordingStep(m_list, TestProject::recordingStepId);
    step->name = name;
    step->setDefaultDisplayName("Step " + name);
    step->finishMode = finish;
    m_list->appendStep(step);
    return step;
}

ShellStep *tst_BuildManager::addShellStep(const QString &script)
{
    auto step = new ShellStep(m_list, "Test.ShellStep");
    step->setDefaultDisplayName("Shell");
    step->setScript(script);
    m_list->appendStep(step);
    return step;
}

// Builds the list and waits for the end of the build queue.
bool tst_BuildManager::buildAndWait(bool *success)
{
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    const bool started = BuildManager::buildList(m_list);
    if (finished.isEmpty() && !finished.wait(60000))
        return false;
    *success = started && finished.first().first().toBool();
    return finished.count() == 1;
}

void tst_BuildManager::runsEnabledStepsInOrder()
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

void tst_BuildManager::failingStepStopsTheBuild_data()
{
    QTest::addColumn<bool>("inInit");
    QTest::addColumn<QStringList>("journal");
    QTest::newRow("init") << true << QStringList({"init a", "init b"});
    QTest::newRow("run") << false << QStringList({"init a", "init b", "init c", "run a", "run b"});
}

void tst_BuildManager::failingStepStopsTheBuild()
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

void tst_BuildManager::onlyTheFirstReportOfAStepCounts_data()
{
    QTest::addColumn<int>("finishMode");
    QTest::addColumn<bool>("result");
    QTest::newRow("inside run, success") << int(Finish::InsideRun) << true;
    QTest::newRow("inside run, failure") << int(Finish::InsideRun) << false;
    QTest::newRow("twice, success first") << int(Finish::Twice) << true;
    QTest::newRow("twice, failure first") << int(Finish::Twice) << false;
}

void tst_BuildManager::onlyTheFirstReportOfAStepCounts()
{
    QFETCH(int, finishMode);
    QFETCH(bool, result);
    addStep("a", Finish(finishMode))->runResult = result;
    addStep("b");
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);

    bool success = !result;
    QVERIFY(buildAndWait(&success));
    QCOMPARE(success, result);
    QCOMPARE(RecordingStep::journal.contains("run b"), result);
    if (Finish(finishMode) == Finish::Twice)
        QTRY_VERIFY(RecordingStep::journal.contains("again a"));
    QCOMPARE(finished.count(), 1);
}

void tst_BuildManager::cancelReachesTheRunningStep_data()
{
    QTest::addColumn<int>("finishMode");
    QTest::addColumn<QStringList>("journal");
    const QStringList start{"init a", "init b", "init c", "run a", "run b", "cancel b"};
    QTest::newRow("waiting step") << int(Finish::OnCancelOnly) << start + QStringList{"ended"};
    // The build ends at the step's report, while its run() still waits in the nested loop.
    QTest::newRow("step in a nested event loop")
        << int(Finish::InNestedLoop) << start + QStringList{"ended", "return b"};
}

void tst_BuildManager::cancelReachesTheRunningStep()
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

void tst_BuildManager::progressShowsInTheMainWindow()
{
    addStep("a")->progressReports = {{50, "halfway"}, {150, "beyond"}};
    RecordingStep *b = addStep("b");
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
    QCOMPARE(label->text(), QString("The build succeeded."));
    QCOMPARE(bar->value(), 100);

    b->runResult = false;
    QVERIFY(buildAndWait(&success));
    QCOMPARE(label->text(), QString("The build failed."));

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

void tst_BuildManager::processStepHandsOnLinesAndExitCode_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("lines of both channels")
        << "echo first; echo problem >&2" << true << QStringList({"first\n", "problem\n"});
    QTest::newRow("exit code") << "echo out; exit 3" << false
                               << QStringList({"out\n", "exited with code 3."});
    QTest::newRow("missing program")
        << QString() << false << QStringList("\"no-such-program-xyz\" was not found.");
}

// What a process step hands on: whole lines of its process, and its end.
void tst_BuildManager::processStepHandsOnLinesAndExitCode()
{
    QFETCH(QString, script);
    QFETCH(QStringList, lines);
    ShellStep *step = addShellStep(script);
    if (script.isEmpty())
        step->setCommandLineProvider([] { return Utils::CommandLine("no-such-program-xyz"); });
    QStringList added;
    connect(step, &BuildStep::addOutput, this, [&added](const QString &text) { added << text; });

    bool success = !script.isEmpty();
    QVERIFY(buildAndWait(&success));
    QTEST(success, "succeeds");
    for (const QString &line : lines) {
        const bool handedOn = line.endsWith('\n') ? added.contains(line)
                                                  : added.join(QString()).contains(line);
        QVERIFY2(handedOn, qPrintable(added.join('|')));
    }
}

// A line that comes in two parts, the second without a line end, is handed on whole once.
void tst_BuildManager::processStepJoinsALineWrittenInParts()
{
    const QString go = m_dir.filePath("go");
    QCOMPARE(mkfifo(QFile::encodeName(go).constData(), 0600), 0);
    // One write holds the first line and the start of the second; the rest waits for the test.
    ShellStep *step = addShellStep(
        QString("printf 'first\\nno '; read answer < '%1'; printf 'line end'").arg(go));
    QStringList added;
    connect(step, &BuildStep::addOutput, this, [&added](const QString &text) { added << text; });
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QVERIFY(BuildManager::buildList(m_list));
    QTRY_VERIFY_WITH_TIMEOUT(added.contains("first\n"), 30000);

    QFile answer(go);
    QVERIFY(answer.open(QIODevice::WriteOnly));
    answer.write("\n");
    answer.close();
    QVERIFY(finished.wait(30000));
    QVERIFY2(added.contains("no line end\n"), qPrintable(added.join('|')));
}

// Running: neither gone nor a zombie that nobody reaped.
static bool isRunning(const QString &pid)
{
    QFile stat("/proc/" + pid + "/stat");
    return stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
}

void tst_BuildManager::paneShowsOutputWhileCancelKillsTheProcess()
{
    // The process leads a process group of its own, with a child in it, as a run command does.
    const QString childPidFile = m_dir.filePath("child.pid");
    addShellStep(QString("exec setsid sh -c 'sleep 600 & echo $! > %1; echo waiting; wait'")
                     .arg(childPidFile));
    addStep("after");
    m_pane->clear();
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QVERIFY(BuildManager::buildList(m_list));
    QTRY_VERIFY_WITH_TIMEOUT(m_pane->toPlainText().contains("waiting\n"), 30000);

    BuildManager::cancel();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(output().contains("crashed"));
    QVERIFY(!RecordingStep::journal.contains("run after"));
    QFile childPid(childPidFile);
    QVERIFY(childPid.open(QIODevice::ReadOnly));
    const QString child = childPid.readAll().trimmed();
    QTRY_VERIFY_WITH_TIMEOUT(!isRunning(child), 30000);
}

void tst_BuildManager::paneFollowsOutputUnlessScrolledUp()
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

QTEST_MAIN(tst_BuildManager)

#include "tst_buildmanager.moc"
