// The real IDE in this process, with every plug-in, building as a user does: a flood of output
// reaches the panes whole and in order, the compile output shows its last lines after a build, and
// the main window shows the build's progress (a screenshot during the sign step of a 200-package
// build in the real build container).

#include <scriptedcontainer.h>
#include <testide.h>
#include <testrecipe.h>
#include <testsdk.h>

#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/icore.h>
#include <coreplugin/messagemanager.h>
#include <coreplugin/outputpanemanager.h>
#include <coreplugin/outputwindow.h>
#include <pelk/sdk.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildmanager.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/project.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/projectexplorerconstants.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>
#include <sdkconfig/sdkconfig.h>

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;

namespace {

const char SIGN_STEP_ID[] = "Quillmark.PkgsealStep";

QStringList linesStartingWith(const QString &text, const QString &start)
{
    return text.split('\n').filter(QRegularExpression('^' + QRegularExpression::escape(start)));
}

Core::OutputWindow *compileOutputPane()
{
    return Core::ICore::mainWindow()->findChild<Core::OutputWindow *>("compileOutputPlainTextEdit");
}

} // namespace

class tst_IdeBuild : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void signingBuildShowsProgressAndItsEnd();
    void floodOfLinesReachesThePanesWhole();

private:
    void useRunCommand(const QString &runCommand);
    Project *openProject(const QString &name, const QByteArray &recipe);
    bool build(Project *project);

    QTemporaryDir m_dir;
    QString m_sdk;
    std::unique_ptr<ScriptedContainer> m_scripted;
    std::unique_ptr<TestIde> m_ide;
};

void tst_IdeBuild::initTestCase()
{
    for (const char *tool : {"pkgseal", "kelvara-run", "kelvara-sdk"}) {
        if (!QFile::exists(TestIde::binDir() + '/' + tool))
            QSKIP(qPrintable(QString("bin/%1 is not built").arg(tool)));
    }
    QString error;
    m_sdk = TestSdk::createDemo(m_dir.filePath("sdk"), &error);
    QVERIFY2(!m_sdk.isEmpty(), qPrintable(error));

    // A scripted run command: pkgseal plays its script, rpmbuild runs as it is.
    m_scripted = std::make_unique<ScriptedContainer>(m_dir.path(), "run-scripted");
    m_scripted->setScript("rpmbuild", {"exec"});

    m_ide = std::make_unique<TestIde>(m_sdk);
}

void tst_IdeBuild::cleanupTestCase()
{
    m_ide.reset();
}

void tst_IdeBuild::useRunCommand(const QString &runCommand)
{
    SdkConfig::Configuration configuration;
    QString error;
    QVERIFY2(SdkConfig::Configuration::load(m_sdk, &configuration, &error), qPrintable(error));
    configuration.containers[0].runCommand = runCommand;
    QVERIFY2(configuration.save(&error), qPrintable(error));
    QVERIFY(Pelk::Sdk::reload());
}

Project *tst_IdeBuild::openProject(const QString &name, const QByteArray &recipe)
{
    const QString folder = m_sdk + "/workspace/" + name;
    QFile file(folder + '/' + name + ".spec");
    if (!QDir().mkpath(folder) || !file.open(QIODevice::WriteOnly) || file.write(recipe) < 0)
        return nullptr;
    file.close();
    Project *project = ProjectExplorerPlugin::openProject(folder).project();
    if (!project || !project->activeTarget())
        return nullptr;
    // The plug-in's listener puts the sign step in after the parse.
    BuildStepList *steps = project->activeTarget()->activeBuildConfiguration()->buildSteps();
    if (!QTest::qWaitFor([steps] { return steps->contains(SIGN_STEP_ID); }, 20000))
        return nullptr;
    return project;
}

// Builds the project as the user does, with the Build action.
bool tst_IdeBuild::build(Project *project)
{
    SessionManager::setStartupProject(project);
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    Core::ActionManager::command(Constants::BUILD)->action()->trigger();
    return (!finished.isEmpty() || finished.wait(600000)) && finished.first().first().toBool();
}

void tst_IdeBuild::signingBuildShowsProgressAndItsEnd()
{
    useRunCommand(m_sdk + "/bin/run-kelvara-build");
    const int subpackages = 199; // and the main package: 200
    Project *project = openProject("many", testRecipe("many", subpackages));
    QVERIFY(project);

    // A view of the main window during the sign step: when the step starts, and again when it
    // reports that it is half done. The panes show only this build.
    Core::OutputWindow *pane = compileOutputPane();
    pane->flush();
    pane->clear();
    Core::MessageManager::text();
    Core::MessageManager::outputWidget()->clear();
    QMainWindow *window = Core::ICore::mainWindow();
    auto label = window->findChild<QLabel *>("BuildProgressLabel");
    QVERIFY(label);
    QImage screenshot;
    QString shownText;
    bool halfDoneShown = false;
    QObject context;
    connect(BuildManager::instance(),
            &BuildManager::buildProgress,
            &context,
            [&](int percent, const QString &text) {
                if (!text.contains("RPM Sign (pkgseal)") || halfDoneShown)
                    return;
                halfDoneShown = percent >= 75;
                pane->flush(); // as the user sees it a moment later
                Core::MessageManager::text();
                screenshot = window->grab().toImage();
                shownText = label->text();
            });
    QVERIFY(build(project));
    QVERIFY(!screenshot.isNull());
    QVERIFY(QDir().mkpath(TestIde::buildDir() + "/tests/screenshots"));
    QVERIFY(screenshot.save(TestIde::buildDir() + "/tests/screenshots/ide-build-progress.png"));
    QVERIFY2(shownText.startsWith("Step 2 of 2: RPM Sign (pkgseal)"), qPrintable(shownText));
    QCOMPARE(label->text(), QString("The build succeeded."));
    pane->flush();
    QVERIFY(pane->toPlainText().contains("Package sign completed successfully."));

    // The tool's lines brought the message pane to the front; the user goes back to the output,
    // which shows its last lines.
    QVERIFY(!pane->isVisible());
    window->findChild<QToolButton *>("Compile Output")->click();
    const auto line = [pane](int y) { return pane->cursorForPosition({0, y}).blockNumber(); };
    const int lastLine = pane->document()->blockCount() - 1;
    QTRY_VERIFY(line(pane->viewport()->height() - 1) == lastLine && line(0) < lastLine - 3);
}

void tst_IdeBuild::floodOfLinesReachesThePanesWhole()
{
    useRunCommand(m_scripted->runCommand());
    const int count = 100000;
    QStringList toolLines;
    QStringList buildLines;
    for (int i = 1; i <= count; ++i) {
        toolLines.append(QString("tool line %1 of the sign step").arg(i));
        buildLines.append(QString("build line %1").arg(i));
    }
    // The tool's output comes in chunks that cut lines anywhere.
    m_scripted->setScript("pkgseal sign",
                          {ScriptedContainer::out(toolLines.join('\n').toUtf8() + '\n')});
    Project *project = openProject("flood",
                                   testRecipe("flood", 0, "seq -f 'build line %%g' 1 100000"));
    QVERIFY(project);

    QVERIFY(build(project));
    Core::OutputWindow *pane = compileOutputPane();
    pane->flush();
    const QString compileOutput = pane->toPlainText();
    QCOMPARE(linesStartingWith(compileOutput, "build line "), buildLines);
    QCOMPARE(linesStartingWith(compileOutput, "tool line "), toolLines);
    const QStringList messages = QStringList(toolLines).replaceInStrings(QRegularExpression("^"),
                                                                         "[I]\t");
    QCOMPARE(linesStartingWith(Core::MessageManager::text(), "[I]\ttool line "), messages);
}

QTEST_MAIN(tst_IdeBuild)

#include "tst_idebuild.moc"
