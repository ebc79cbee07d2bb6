#include "../common/testide.h"
#include "../common/testsdk.h"

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/icore.h>
#include <kelvara/kambuildstep.h>
#include <kelvara/kamconstants.h>
#include <kelvara/kamproject.h>
#include <kelvara/kamprojectlistener.h>
#include <kelvara/kamsettings.h>
#include <kelvara/kamspecfile.h>
#include <pelk/sdk.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildmanager.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/deployconfiguration.h>
#include <projectexplorer/kit.h>
#include <projectexplorer/kitinformation.h>
#include <projectexplorer/project.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>
#include <utils/fileutils.h>

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;
using Kam::Internal::KamBuildStep;

namespace {

// Records what the base hands to a listener, and whether the project was still whole then.
class RecordingListener : public Kam::Internal::KamProjectListener
{
public:
    using KamProjectListener::KamProjectListener;

    QList<Project *> attached;
    QList<Project *> detached;
    QList<int> targetsAtDetach;

protected:
    bool attachProject(Project *project) override
    {
        attached.append(project);
        return true;
    }
    bool detachProject(Project *project) override
    {
        detached.append(project);
        targetsAtDetach.append(project->targets().size());
        return true;
    }
};

const int BuildTimeout = 300000;

} // namespace

class KelvaraTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void readsSpecFiles();
    void opensAPlatformProject();
    void buildsThePackagesInTheContainer_data();
    void buildsThePackagesInTheContainer();
    void failedBuildListsNoPackage_data();
    void failedBuildListsNoPackage();
    void buildNeverActsThroughLinks_data();
    void buildNeverActsThroughLinks();
    void cancelKillsTheBuild();
    void listenerAttachesAndDetachesPlatformProjects();
    void toolsMenuIsInTheMenuBar();

private:
    Project *openProject(const QString &folder);
    static KamBuildStep *platformStep(Project *project);
    QString copyExample(const QString &targetFolder);
    QString writeScript(const QString &name, const QByteArray &body);
    bool build(BuildStepList *steps, QStringList *output = nullptr);

    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    QString m_runCommand;
};

void KelvaraTest::initTestCase()
{
    m_sdk = std::make_unique<TestSdk>();
    QVERIFY(m_sdk->isValid());
    m_runCommand = m_sdk->createPassThroughRunCommand();
    QVERIFY(!m_runCommand.isEmpty());
    m_sdk->setRunCommands({m_runCommand});
    QVERIFY(m_sdk->save());
    m_ide = std::make_unique<TestIde>(m_sdk->path(), QStringList{"Kelvara"});
}

void KelvaraTest::cleanupTestCase()
{
    m_ide.reset();
}

void KelvaraTest::cleanup()
{
    SessionManager::removeProjects(SessionManager::projects());
    Kam::Internal::KamSettings::setWorkspaceLocation(QString());
    m_sdk->setRunCommands({m_runCommand});
    QVERIFY(m_sdk->save());
}

Project *KelvaraTest::openProject(const QString &folder)
{
    const auto result = ProjectExplorerPlugin::openProject(folder);
    if (!result || !result.project()) {
        qWarning("%s", qPrintable(result.errorMessage()));
        return nullptr;
    }
    return result.project();
}

KamBuildStep *KelvaraTest::platformStep(Project *project)
{
    BuildConfiguration *configuration = project->activeTarget()->activeBuildConfiguration();
    return qobject_cast<KamBuildStep *>(configuration->buildSteps()->at(0));
}

QString KelvaraTest::copyExample(const QString &targetFolder)
{
    const QString source = qEnvironmentVariable("QUILLMARK_SOURCE_DIR") + "/examples/hello";
    QString errorString;
    if (!Utils::FileUtils::copyRecursively(Utils::FilePath::fromString(source),
                                           Utils::FilePath::fromString(targetFolder),
                                           &errorString)) {
        qWarning("%s", qPrintable(errorString));
        return QString();
    }
    return targetFolder;
}

QString KelvaraTest::writeScript(const QString &name, const QByteArray &body)
{
    const QString fileName = m_sdk->path() + "/bin/" + name;
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
        return QString();
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return fileName;
}

bool KelvaraTest::build(BuildStepList *steps, QStringList *output)
{
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QList<QMetaObject::Connection> connections;
    for (BuildStep *step : steps->steps()) {
        connections.append(connect(step, &BuildStep::addOutput, this, [output](const QString &line) {
            if (output)
                output->append(line);
        }));
    }
    const bool started = BuildManager::buildList(steps);
    const bool done = started && (finished.count() > 0 || finished.wait(BuildTimeout));
    for (const QMetaObject::Connection &connection : connections)
        disconnect(connection);
    return done && finished.last().at(0).toBool();
}

void KelvaraTest::readsSpecFiles()
{
    QTemporaryDir dir;
    const QString fileName = dir.filePath("tool.spec");
    QFile file(fileName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Name: tool\nVersion:  2.5 \nRelease: 3\nBuildArch: noarch\nSummary: x\n"
               "%description\nVersion: 9 is not a tag here\n"
               "%package devel\nSummary: y\n%package -n other-tool\nSummary: z\n");
    file.close();

    Kam::Internal::KamSpecFile specFile;
    QString errorString;
    QVERIFY(specFile.read(fileName, &errorString));
    QCOMPARE(specFile.name(), QString("tool"));
    QCOMPARE(specFile.version(), QString("2.5"));
    QCOMPARE(specFile.release(), QString("3"));
    QCOMPARE(specFile.buildArch(), QString("noarch"));
    QCOMPARE(specFile.packageNames(), QStringList({"tool", "tool-devel", "other-tool"}));

    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("Summary: nameless\n");
    file.close();
    QVERIFY(!specFile.read(fileName, &errorString));
    QVERIFY(errorString.contains("no Name tag"));
    QVERIFY(!specFile.read(dir.filePath("missing.spec"), &errorString));
    QVERIFY(errorString.contains("missing.spec"));
}

void KelvaraTest::opensAPlatformProject()
{
    const QString folder = copyExample(m_sdk->workspacePath() + "/open");
    QVERIFY(!folder.isEmpty());
    Project *project = openProject(folder);
    QVERIFY(project);
    QCOMPARE(project->projectFilePath().toString(), folder + "/hello.spec");

    QCOMPARE(project->targets().size(), 1);
    Target *target = project->targets().first();
    QSignalSpy parsed(target, &Target::parsingFinished);
    QCOMPARE(target->kit()->displayName(), QString("Kelvara Platform"));
    QCOMPARE(DeviceTypeKitAspect::deviceTypeId(target->kit()), Utils::Id("Kam.Device.Type"));

    const QList<BuildConfiguration *> configurations = target->buildConfigurations();
    QCOMPARE(configurations.size(), 2);
    QCOMPARE(configurations.at(0)->displayName(), QString("Debug"));
    QCOMPARE(configurations.at(1)->displayName(), QString("Release"));
    for (BuildConfiguration *configuration : configurations) {
        QCOMPARE(configuration->buildSteps()->count(), 1);
        auto step = qobject_cast<KamBuildStep *>(configuration->buildSteps()->at(0));
        QVERIFY(step);
        QCOMPARE(step->id(), Utils::Id("Kam.BuildStep"));
        QCOMPARE(KamBuildStep::displayName(), QString("Kelvara Build"));
        QVERIFY(step->deployablePackagesFileNames().isEmpty());
        QVERIFY(configuration->buildDirectory().isChildOf(
            Utils::FilePath::fromString(m_sdk->workspacePath())));
    }
    QCOMPARE(target->deployConfigurations().size(), 1);
    QVERIFY(target->activeDeployConfiguration()->stepList()->isEmpty());

    QVERIFY(parsed.count() > 0 || parsed.wait(30000));
    QCOMPARE(parsed.first().at(0).toBool(), true);
    auto kamProject = qobject_cast<Kam::Internal::KamProject *>(project);
    QVERIFY(kamProject);
    QCOMPARE(kamProject->specFile().packageNames(), QStringList({"hello", "hello-doc"}));
    QCOMPARE(kamProject->specFile().version(), QString("1.0"));
}

void KelvaraTest::buildsThePackagesInTheContainer_data()
{
    QTest::addColumn<bool>("sandboxed");
    QTest::newRow("run command without sandbox") << false;
    QTest::newRow("sandbox of the demo SDK") << true;
}

void KelvaraTest::buildsThePackagesInTheContainer()
{
    QFETCH(bool, sandboxed);
    QTemporaryDir parent;
    QString folder = m_sdk->workspacePath() + "/build";
    if (!sandboxed) {
        QVERIFY(!copyExample(folder).isEmpty());
    } else {
        QString errorString;
        const QString demo = TestSdk::createDemo(parent.filePath("demo"), &errorString);
        QVERIFY2(!demo.isEmpty(), qPrintable(errorString));
        m_sdk->setRunCommands({demo + "/bin/run-kelvara-build"});
        QVERIFY(m_sdk->save());
        Kam::Internal::KamSettings::setWorkspaceLocation(demo + "/workspace");
        folder = demo + "/workspace/hello";
    }
    Project *project = openProject(folder);
    QVERIFY(project);
    KamBuildStep *step = platformStep(project);
    QVERIFY(step);

    QSignalSpy progress(step, &BuildStep::progress);
    QStringList output;
    QVERIFY2(build(step->stepList(), &output), qPrintable(output.join('\n')));
    const QStringList packages = step->deployablePackagesFileNames();

    // Progress as rpmbuild goes through the spec file, never backwards (the packages are
    // written in parallel, in any order).
    QStringList stages;
    int percent = 0;
    for (const QList<QVariant> &report : qAsConst(progress)) {
        QVERIFY(report.at(0).toInt() >= percent && report.at(0).toInt() < 100);
        percent = report.at(0).toInt();
        stages << report.at(1).toString();
    }
    stages.sort();
    QCOMPARE(stages,
             QStringList({"Packaging hello-1.0-1.noarch",
                          "Packaging hello-doc-1.0-1.noarch",
                          "Running %build",
                          "Running %clean",
                          "Running %install",
                          "Running %prep",
                          "Wrote hello-1.0-1.noarch.rpm",
                          "Wrote hello-doc-1.0-1.noarch.rpm"}));
    QCOMPARE(packages.size(), 2);
    QCOMPARE(QFileInfo(packages.at(0)).fileName(), QString("hello-1.0-1.noarch.rpm"));
    QCOMPARE(QFileInfo(packages.at(1)).fileName(), QString("hello-doc-1.0-1.noarch.rpm"));
    for (const QString &package : packages) {
        QVERIFY(QFileInfo::exists(package));
        QVERIFY(package.startsWith(step->buildDirectory().toString() + '/'));
        QVERIFY(package.startsWith(Kam::Internal::KamSettings::workspaceLocation() + '/'));
    }
    QVERIFY(output.join('\n').contains("Wrote: " + packages.at(0)));

    // A package left from an earlier build is not one of this build's.
    const QString stale = step->buildDirectory().toString() + "/RPMS/noarch/old-0.rpm";
    QVERIFY(QFile(packages.at(0)).copy(stale));
    QVERIFY(build(step->stepList()));
    QCOMPARE(step->deployablePackagesFileNames(), packages);
    SessionManager::removeProject(project);

    // Without a location of its own the workspace is the SDK's.
    Kam::Internal::KamSettings::setWorkspaceLocation(QString());
    QCOMPARE(Kam::Internal::KamSettings::workspaceLocation(), m_sdk->workspacePath());
}

void KelvaraTest::failedBuildListsNoPackage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("outside");
    QTest::addColumn<bool>("container");
    QTest::addColumn<QString>("message");
    QTest::newRow("failing build") << "broken" << false << true << QString();
    QTest::newRow("outside the workspace")
        << "hello" << true << true << QString("is neither inside the workspace");
    QTest::newRow("no build container")
        << "nocontainer" << false << false << QString("No build container");
}

void KelvaraTest::failedBuildListsNoPackage()
{
    QFETCH(QString, name);
    QFETCH(bool, outside);
    QFETCH(bool, container);
    QFETCH(QString, message);
    if (!container) {
        m_sdk->setRunCommands({});
        QVERIFY(m_sdk->save());
    }
    QTemporaryDir outsideDir;
    const QString folder = copyExample((outside ? outsideDir.path() : m_sdk->workspacePath()) + '/'
                                       + name);
    if (message.isEmpty()) {
        QFile specFile(folder + "/hello.spec");
        QVERIFY(specFile.open(QIODevice::Append));
        specFile.write("\n%build\nexit 3\n");
    }
    Project *project = openProject(folder);
    QVERIFY(project);
    KamBuildStep *step = platformStep(project);

    QStringList output;
    QVERIFY(!build(step->stepList(), &output));
    QVERIFY2(output.join('\n').contains(message), qPrintable(output.join('\n')));
    QVERIFY(step->deployablePackagesFileNames().isEmpty());
}

// Files of a folder and its subfolders, hidden ones included, with their contents.
static QMap<QString, QByteArray> snapshot(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        files.insert(QDir(folder).relativeFilePath(file.fileName()),
                     file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable"));
    }
    return files;
}

void KelvaraTest::buildNeverActsThroughLinks_data()
{
    QTest::addColumn<QByteArray>("install");
    QTest::addColumn<bool>("buildFolderIsLink");
    QTest::addColumn<int>("packages");
    QTest::addColumn<QString>("message");
    // The spec's %install makes the links; OUTSIDE stands for a host folder outside.
    QTest::newRow("packages folder replaced by a link")
        << QByteArray("rm -rf %{_topdir}/RPMS && ln -s OUTSIDE %{_topdir}/RPMS\n") << false << 0
        << "produced no package";
    QTest::newRow("links inside the packages folder")
        << QByteArray("mkdir -p %{_topdir}/RPMS && ln -s OUTSIDE %{_topdir}/RPMS/folder && "
                      "ln -s OUTSIDE/RPMS/noarch/old-1.noarch.rpm %{_topdir}/RPMS/linked.rpm\n")
        << false << 2 << QString();
    QTest::newRow("build folder is a link") << QByteArray() << true << 0 << "is a symbolic link";
}

// Whatever links a build leaves, two builds leave a folder outside as it was and hand on no
// package that is not a regular file of the build folder.
void KelvaraTest::buildNeverActsThroughLinks()
{
    QFETCH(QByteArray, install);
    QFETCH(bool, buildFolderIsLink);
    QFETCH(int, packages);
    QFETCH(QString, message);

    QTemporaryDir outside;
    for (const char *name : {".hidden", "sub/file", "sub/.hidden", "RPMS/noarch/old-1.noarch.rpm"}) {
        QVERIFY(QDir().mkpath(QFileInfo(outside.filePath(name)).path()));
        QFile file(outside.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray("keep ") + name) > 0);
    }
    const QMap<QString, QByteArray> before = snapshot(outside.path());

    const QString folder = copyExample(m_sdk->workspacePath() + "/links-"
                                       + QString::number(qHash(QTest::currentDataTag())));
    QFile specFile(folder + "/hello.spec");
    QVERIFY(specFile.open(QIODevice::ReadOnly));
    const QByteArray spec = specFile.readAll()
                                .replace("%install\n",
                                         "%install\n"
                                             + install.replace("OUTSIDE", outside.path().toUtf8()));
    specFile.close();
    QVERIFY(specFile.open(QIODevice::WriteOnly) && specFile.write(spec) == spec.size());
    specFile.close();
    Project *project = openProject(folder);
    QVERIFY(project);
    KamBuildStep *step = platformStep(project);
    const QString buildFolder = step->buildDirectory().toString();
    const auto removeLink = qScopeGuard([&] {
        if (QFileInfo(buildFolder).isSymLink())
            QFile::remove(buildFolder);
    });
    if (buildFolderIsLink) {
        QVERIFY(QDir(buildFolder).removeRecursively());
        QVERIFY(QFile::link(outside.path(), buildFolder));
    }

    QStringList output;
    bool succeeded = false;
    for (int run = 0; run < 2; ++run) {
        output.clear();
        succeeded = build(step->stepList(), &output);
        const QMap<QString, QByteArray> after = snapshot(outside.path());
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QCOMPARE(after.value(it.key()), it.value());
    }
    QCOMPARE(succeeded, packages > 0);
    QVERIFY2(output.join('\n').contains(message), qPrintable(output.join('\n')));
    QCOMPARE(step->deployablePackagesFileNames().size(), packages);
    for (const QString &package : step->deployablePackagesFileNames()) {
        QVERIFY2(!QFileInfo(package).isSymLink(), qPrintable(package));
        QVERIFY(QFileInfo(package).canonicalFilePath().startsWith(buildFolder + '/'));
    }
}

void KelvaraTest::cancelKillsTheBuild()
{
    const QString pidFile = m_sdk->path() + "/tool.pid";
    const QString runCommand = writeScript("run-hanging",
                                           "echo $$ > '" + pidFile.toUtf8()
                                               + "'\necho started\nexec sleep 1000\n");
    m_sdk->setRunCommands({runCommand});
    QVERIFY(m_sdk->save());
    const QString folder = copyExample(m_sdk->workspacePath() + "/cancel");
    Project *project = openProject(folder);
    QVERIFY(project);
    BuildStepList *steps = platformStep(project)->stepList();

    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QSignalSpy output(steps->at(0), &BuildStep::addOutput);
    QVERIFY(BuildManager::buildList(steps));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(pidFile) && QFileInfo(pidFile).size() > 0, 30000);
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString pid = QString::fromUtf8(file.readAll()).trimmed();
    QVERIFY(QFileInfo::exists("/proc/" + pid));

    BuildManager::cancel();
    QVERIFY(finished.count() > 0 || finished.wait(30000));
    QCOMPARE(finished.last().at(0).toBool(), false);
    QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists("/proc/" + pid), 30000);
}

void KelvaraTest::listenerAttachesAndDetachesPlatformProjects()
{
    Project *early = openProject(copyExample(m_sdk->workspacePath() + "/early"));
    QVERIFY(early);
    RecordingListener listener(nullptr);
    QTRY_VERIFY(listener.attached.contains(early));

    Project *late = openProject(copyExample(m_sdk->workspacePath() + "/late"));
    QVERIFY(late);
    QVERIFY(listener.attached.contains(late));

    SessionManager::removeProject(early);
    QCOMPARE(listener.detached, QList<Project *>({early}));
    QCOMPARE(listener.targetsAtDetach, QList<int>({1}));

    SessionManager::removeProject(late);
    QCOMPARE(listener.detached.size(), 2);
    QCOMPARE(listener.targetsAtDetach, QList<int>({1, 1}));
}

void KelvaraTest::toolsMenuIsInTheMenuBar()
{
    Core::ActionContainer *menu = Core::ActionManager::actionContainer(
        Kam::Constants::KAM_TOOLS_MENU);
    QVERIFY(menu);
    QVERIFY(menu->menu());
    QCOMPARE(menu->menu()->title(), QString("&Kelvara"));
    // Between the IDE's own Tools and Help menus.
    QStringList titles;
    for (const QAction *action : Core::ICore::mainWindow()->menuBar()->actions())
        titles << action->text();
    const int kelvara = titles.indexOf("&Kelvara");
    QVERIFY2(kelvara > titles.indexOf("&Tools")
                 && titles.indexOf("&Tools") > titles.indexOf("&File"),
             qPrintable(titles.join(' ')));
    QCOMPARE(titles.indexOf("&Help"), kelvara + 1);
}

QTEST_MAIN(KelvaraTest)

#include "tst_kelvara.moc"
