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
#include <projectexplorer/processparameters.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/projectexplorerconstants.h>
#include <projectexplorer/projectmanager.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;

using Finish = RecordingStep::Finish;

// The build manager running step lists, process steps and the compile output.
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
    void stepReportingTwiceOrInsideRunIsCountedOnce_data();
    void stepReportingTwiceOrInsideRunIsCountedOnce();
    void cancelReachesTheRunningStep_data();
    void cancelReachesTheRunningStep();
    void progressShowsInTheMainWindow();
    void buildingPartsCannotBeRemovedNorBuiltAgain();
    void processStepReportsItsOutput();
    void processStepFailures_data();
    void processStepFailures();
    void cancelKillsTheProcess();
    void compileOutputPaneShowsFormats();
    void compileOutputFollowsUnlessScrolledUp();

private:
    RecordingStep *addStep(const QString &name, Finish finish = Finish::Later);
    ShellStep *addShellStep(const QString &script);
    bool buildAndWait(bool *success);
    QString output() const { return m_output.join(QString()); }

    std::unique_ptr<TestIde> m_ide;
    std::unique_ptr<TestStepFactory> m_factory;
    QTemporaryDir m_dir;
    Project *m_project = nullptr;
    BuildStepList *m_list = nullptr;
    QStringList m_output;
    QList<BuildStep::OutputFormat> m_formats;
};

void tst_BuildManager::initTestCase()
{
    m_ide = std::make_unique<TestIde>(QString(), QStringList{"ProjectExplorer"});
    ProjectManager::registerProjectType<TestProject>(TestProject::mimeType, TestProject::fileSuffix);
    m_factory.reset(TestStepFactory::make<RecordingStep>(TestProject::recordingStepId, "Recording"));
    connect(BuildManager::instance(),
            &BuildManager::compileOutput,
            this,
            [this](const QString &text, BuildStep::OutputFormat format) {
                m_output << text;
                m_formats << format;
            });
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
    m_project = result.project();
    m_list = m_project->activeTarget()->activeBuildConfiguration()->buildSteps();
    m_list->clear();
    RecordingStep::journal.clear();
    m_output.clear();
    m_formats.clear();
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
    QVERIFY(output().contains("Running steps for project build..."));
    QVERIFY(!BuildManager::isBuilding());
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
    QFETCH(QStringList, journal);
    addStep("a");
    RecordingStep *failing = addStep("b");
    (inInit ? failing->initResult : failing->runResult) = false;
    addStep("c");

    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    // A failing init refuses the build at once.
    QCOMPARE(BuildManager::buildList(m_list), !inInit);
    QCOMPARE(finished.count(), inInit ? 1 : 0);
    QVERIFY(!finished.isEmpty() || finished.wait(60000));
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(RecordingStep::journal, journal);
    QVERIFY(output().contains("Error while building/deploying project build (kit: Test Kit)"));
    QVERIFY(output().contains("When executing step \"Step b\""));
    QTRY_COMPARE(finished.count(), 1);
}

void tst_BuildManager::stepReportingTwiceOrInsideRunIsCountedOnce_data()
{
    QTest::addColumn<int>("finishMode");
    QTest::addColumn<bool>("result");
    QTest::newRow("inside run, success") << int(Finish::InsideRun) << true;
    QTest::newRow("inside run, failure") << int(Finish::InsideRun) << false;
    QTest::newRow("twice, success first") << int(Finish::Twice) << true;
    QTest::newRow("twice, failure first") << int(Finish::Twice) << false;
}

void tst_BuildManager::stepReportingTwiceOrInsideRunIsCountedOnce()
{
    QFETCH(int, finishMode);
    QFETCH(bool, result);
    addStep("a", Finish(finishMode))->runResult = result;
    addStep("b");
    addStep("c");
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);

    bool success = !result;
    QVERIFY(buildAndWait(&success));
    QCOMPARE(success, result);
    const QStringList expected = result ? QStringList(
                                     {"init a", "init b", "init c", "run a", "run b", "run c"})
                                        : QStringList({"init a", "init b", "init c", "run a"});
    QCOMPARE(RecordingStep::journal, expected);
    // A late second report changes nothing.
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(RecordingStep::journal, expected);
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
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QVERIFY(BuildManager::buildList(m_list));
    QVERIFY(finished.wait(10000));
    QTRY_COMPARE(RecordingStep::journal, journal);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(output().contains("Canceled build/deployment."));
    QVERIFY(!output().contains("When executing step"));
    QVERIFY(!BuildManager::isBuilding());
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
    QVERIFY(label->isVisible());
    QCOMPARE(label->text(), QString("The build succeeded."));
    QCOMPARE(bar->value(), 100);

    b->runResult = false;
    QVERIFY(buildAndWait(&success));
    QVERIFY(!success);
    QCOMPARE(label->text(), QString("The build failed."));
    QVERIFY(bar->palette().color(QPalette::Highlight).red() > 150);
}

void tst_BuildManager::buildingPartsCannotBeRemovedNorBuiltAgain()
{
    addStep("a");
    RecordingStep *running = addStep("b", Finish::OnCancelOnly);
    Target *target = m_project->activeTarget();
    BuildConfiguration *configuration = target->activeBuildConfiguration();

    QVERIFY(BuildManager::buildList(m_list));
    QVERIFY(!BuildManager::buildList(m_list));
    QVERIFY(output().contains("A build is running already."));
    QTRY_VERIFY(RecordingStep::journal.contains("run b"));
    QVERIFY(BuildManager::isBuilding(m_project));
    QVERIFY(BuildManager::isBuilding(target));
    QVERIFY(BuildManager::isBuilding(configuration));
    QVERIFY(BuildManager::isBuilding(running));
    QVERIFY(!BuildManager::isBuilding(target->buildConfigurations().at(1)));

    QVERIFY(!m_list->removeStep(1));
    QVERIFY(!target->removeBuildConfiguration(configuration));
    QVERIFY(!m_project->removeTarget(target));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("is being built and stays open"));
    SessionManager::removeProject(m_project);
    QCOMPARE(SessionManager::projects().count(), 1);

    BuildManager::cancel();
    QTRY_VERIFY(!BuildManager::isBuilding());
    QCOMPARE(RecordingStep::journal.count("run b"), 1);
    QVERIFY(m_list->removeStep(1));
}

void tst_BuildManager::processStepReportsItsOutput()
{
    ShellStep *step = addShellStep(
        "echo first; echo problem >&2; printf 'no line end'; echo \"$PE_VALUE\"");
    m_project->activeTarget()->activeBuildConfiguration()->setUserEnvironmentChanges(
        {"PE_VALUE=from env"});
    QSignalSpy added(step, &BuildStep::addOutput);

    bool success = false;
    QVERIFY(buildAndWait(&success));
    QVERIFY(success);
    QCOMPARE(step->hooks, QStringList({"started", "finished 0 normal"}));

    QStringList stdoutLines;
    QStringList stderrLines;
    for (const QList<QVariant> &arguments : added) {
        const auto format = arguments.at(1).value<BuildStep::OutputFormat>();
        if (format == BuildStep::OutputFormat::Stdout)
            stdoutLines << arguments.at(0).toString();
        else if (format == BuildStep::OutputFormat::Stderr)
            stderrLines << arguments.at(0).toString();
    }
    QCOMPARE(stdoutLines, QStringList({"first\n", "no line endfrom env\n"}));
    QCOMPARE(stderrLines, QStringList({"problem\n"}));
    QVERIFY(output().contains("Starting: \"/bin/sh\" -c"));
    QVERIFY(output().contains("The process \"/bin/sh\" exited normally."));
}

void tst_BuildManager::processStepFailures_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("script");
    QTest::addColumn<bool>("initResult");
    QTest::addColumn<QString>("message");

    QTest::newRow("exit code") << QString("/bin/sh") << "exit 3" << true << "exited with code 3.";
    QTest::newRow("missing program") << QString("no-such-program-xyz") << QString() << false
                                     << "The program \"no-such-program-xyz\" was not found.";
    QTest::newRow("no command") << QString() << QString() << false << "Configuration is faulty";
}

void tst_BuildManager::processStepFailures()
{
    QFETCH(QString, program);
    QFETCH(QString, script);
    QFETCH(bool, initResult);
    QFETCH(QString, message);
    ShellStep *step = addShellStep(script);
    if (program != "/bin/sh") {
        step->setCommandLineProvider([program] { return Utils::CommandLine(program); });
    }

    bool success = true;
    QVERIFY(buildAndWait(&success));
    QVERIFY(!success);
    QVERIFY2(output().contains(message), qPrintable(output()));
    QCOMPARE(step->hooks.isEmpty(), !initResult);
}

void tst_BuildManager::cancelKillsTheProcess()
{
    ShellStep *step = addShellStep("echo waiting; exec sleep 60");
    addStep("after");
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QVERIFY(BuildManager::buildList(m_list));
    QTRY_VERIFY(output().contains("waiting"));

    BuildManager::cancel();
    QVERIFY(finished.wait(30000));
    QCOMPARE(finished.first().first().toBool(), false);
    QVERIFY(step->hooks.last().endsWith(" crash"));
    QVERIFY(!RecordingStep::journal.contains("run after"));
    QVERIFY(output().contains("crashed"));
}

void tst_BuildManager::compileOutputPaneShowsFormats()
{
    QVERIFY(Core::OutputPaneManager::paneTitles().contains("Compile Output"));
    auto pane = Core::ICore::mainWindow()->findChild<QPlainTextEdit *>(
        "compileOutputPlainTextEdit");
    QVERIFY(pane);
    pane->clear();

    addShellStep("echo plain out; echo bad news >&2; exit 1");
    bool success = true;
    QVERIFY(buildAndWait(&success));
    QVERIFY(!success);

    const QString text = pane->toPlainText();
    QVERIFY(text.contains("plain out\n"));
    QVERIFY(text.contains("bad news\n"));
    QVERIFY(text.contains("When executing step \"Shell\""));

    auto colorOfLine = [pane](const QString &line) {
        for (QTextBlock block = pane->document()->begin(); block.isValid(); block = block.next()) {
            if (block.text() == line)
                return block.begin().fragment().charFormat().foreground().color();
        }
        return QColor();
    };
    const QColor errorColor = colorOfLine("When executing step \"Shell\"");
    const QColor stdoutColor = colorOfLine("plain out");
    QVERIFY(errorColor.red() > 200 && errorColor.green() < 50 && errorColor.blue() < 50);
    QVERIFY(stdoutColor != errorColor);
    QVERIFY(colorOfLine("bad news").red() > colorOfLine("bad news").green());
}

void tst_BuildManager::compileOutputFollowsUnlessScrolledUp()
{
    auto pane = Core::ICore::mainWindow()->findChild<Core::OutputWindow *>(
        "compileOutputPlainTextEdit");
    QVERIFY(pane);
    Core::OutputPaneManager::showPane(pane);
    const auto shownLine = [pane](int y) { return pane->cursorForPosition({0, y}).blockNumber(); };
    // The view shows the last lines and is filled with lines.
    const auto showsEnd = [&] {
        const int lastLine = pane->document()->blockCount() - 1;
        return shownLine(pane->viewport()->height() - 1) == lastLine && shownLine(0) < lastLine - 3;
    };
    addShellStep("i=1; while [ $i -le 300 ]; do echo \"line $i\"; i=$((i+1)); done");

    bool success = false;
    QVERIFY(buildAndWait(&success));
    QTRY_VERIFY(showsEnd());

    pane->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    QVERIFY(buildAndWait(&success));
    QCOMPARE(shownLine(0), 0);

    pane->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    QVERIFY(buildAndWait(&success));
    QTRY_VERIFY(showsEnd());
}

QTEST_MAIN(tst_BuildManager)

#include "tst_buildmanager.moc"
