#include "../common/testide.h"
#include "../common/testrecipe.h"
#include "../common/testsdk.h"

#include <kelvara/kambuildstep.h>
#include <kelvara/kamsettings.h>
#include <pelk/buildengine.h>
#include <pelk/buildenginesdialog.h>
#include <pelk/sdk.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildmanager.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/project.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>
#include <utils/pathchooser.h>

#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;
using Kam::Internal::KamBuildStep;
using Kam::Internal::KamSettings;
using Pelk::BuildEngine;
using Pelk::Sdk;

// The build engines of the SDK's configuration, followed whoever changes the file, and the
// platform build step building a project with rpmbuild, through a run command that runs it on the
// host, and the packages it hands on.
class KelvaraTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void followsAtomicReplacementOfTheFile();
    void dialogStoresTheNewFolder();
    void buildsThePackagesInTheWorkspaceOfTheSettings();
    void failedBuildListsNoPackage_data();
    void failedBuildListsNoPackage();
    void buildNeverActsThroughLinks_data();
    void buildNeverActsThroughLinks();

private:
    KamBuildStep *openProject(const QString &folder, const QByteArray &commands = "true");
    bool build(KamBuildStep *step, QStringList *output = nullptr);

    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    QString m_runCommand;
    QTemporaryDir m_otherFolder;
};

void KelvaraTest::initTestCase()
{
    qRegisterMetaType<Utils::FilePath>();
    m_sdk = std::make_unique<TestSdk>();
    QVERIFY(m_sdk->isValid());
    m_sdk->addEngine("second-engine", m_otherFolder.path());
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
    KamSettings::setWorkspaceLocation(QString());
    m_sdk->setRunCommands({m_runCommand});
    m_sdk->setSharedSrcPath("second-engine", m_otherFolder.path());
    QVERIFY(m_sdk->save());
}

void KelvaraTest::followsAtomicReplacementOfTheFile()
{
    BuildEngine *second = Sdk::buildEngine("second-engine");
    QVERIFY(second);
    QSignalSpy spy(second, &BuildEngine::sharedSrcPathChanged);

    // Saved without telling the IDE, first by replacing the file, then by writing into the new
    // one: the plug-in's watch on sdk.json must follow the file that replaced the watched one.
    const QString a = m_otherFolder.path() + "/a";
    const QString b = m_otherFolder.path() + "/b";
    m_sdk->setSharedSrcPath("second-engine", a);
    QString errorString;
    QVERIFY2(m_sdk->configuration().save(&errorString), qPrintable(errorString));
    QTRY_COMPARE_WITH_TIMEOUT(second->sharedSrcPath().toString(), a, 20000);

    QFile file(m_sdk->path() + "/sdk.json");
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray text = file.readAll().replace(a.toUtf8(), b.toUtf8());
    QVERIFY(file.seek(0) && file.write(text) == text.size()); // same length: one write in place
    file.close();
    QTRY_COMPARE_WITH_TIMEOUT(second->sharedSrcPath().toString(),
                              m_otherFolder.path() + "/b",
                              20000);
    QCOMPARE(spy.count(), 2);
}

void KelvaraTest::dialogStoresTheNewFolder()
{
    BuildEngine *second = Sdk::buildEngine("second-engine");
    QSignalSpy spy(second, &BuildEngine::sharedSrcPathChanged);
    const QString newFolder = m_otherFolder.path() + "/chosen";
    QVERIFY(QDir().mkpath(newFolder));

    Pelk::Internal::BuildEnginesDialog dialog;
    auto chooser = dialog.findChild<Utils::PathChooser *>("second-engine");
    QVERIFY(chooser);
    QCOMPARE(chooser->filePath().toString(), m_otherFolder.path());
    chooser->setPath(newFolder);
    dialog.findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Apply)->click();

    QCOMPARE(spy.count(), 1);
    SdkConfig::Configuration stored;
    QString errorString;
    QVERIFY(SdkConfig::Configuration::load(m_sdk->path(), &stored, &errorString));
    QCOMPARE(stored.engine("second-engine")->sharedSrcPath, newFolder);
    QCOMPARE(stored.engine("kelvara-engine")->sharedSrcPath, m_sdk->workspacePath());
}

// Makes a project of a package and a subpackage in folder, its %build running the commands, opens
// it and returns its platform build step.
KamBuildStep *KelvaraTest::openProject(const QString &folder, const QByteArray &commands)
{
    QFile recipe(folder + "/hello.spec");
    if (!QDir().mkpath(folder) || !recipe.open(QIODevice::WriteOnly)
        || recipe.write(testRecipe("hello", 1, commands)) <= 0)
        return nullptr;
    recipe.close();
    Project *project = ProjectExplorerPlugin::openProject(folder).project();
    if (!project)
        return nullptr;
    BuildConfiguration *configuration = project->activeTarget()->activeBuildConfiguration();
    return qobject_cast<KamBuildStep *>(configuration->buildSteps()->at(0));
}

bool KelvaraTest::build(KamBuildStep *step, QStringList *output)
{
    QSignalSpy finished(BuildManager::instance(), &BuildManager::buildQueueFinished);
    QMetaObject::Connection connection = connect(step,
                                                 &BuildStep::addOutput,
                                                 this,
                                                 [output](const QString &line) {
                                                     if (output)
                                                         output->append(line);
                                                 });
    const bool started = BuildManager::buildList(step->stepList());
    const bool done = started && (finished.count() > 0 || finished.wait(300000));
    disconnect(connection);
    return done && finished.last().at(0).toBool();
}

void KelvaraTest::buildsThePackagesInTheWorkspaceOfTheSettings()
{
    QTemporaryDir workspace;
    KamSettings::setWorkspaceLocation(workspace.path());
    KamBuildStep *step = openProject(workspace.filePath("hello"));
    QVERIFY(step);

    QSignalSpy progress(step, &BuildStep::progress);
    QStringList output;
    QVERIFY2(build(step, &output), qPrintable(output.join('\n')));
    const QStringList packages = step->deployablePackagesFileNames();
    QCOMPARE(packages.size(), 2);
    QCOMPARE(QFileInfo(packages.at(0)).fileName(), QString("hello-1.0-1.noarch.rpm"));
    QCOMPARE(QFileInfo(packages.at(1)).fileName(), QString("hello-p1-1.0-1.noarch.rpm"));
    for (const QString &package : packages) {
        QVERIFY(QFileInfo(package).isFile());
        QVERIFY(package.startsWith(workspace.path() + '/'));
    }
    // Progress as rpmbuild goes through the project's .spec file, never backwards.
    QVERIFY(progress.count() > 4);
    for (int i = 1; i < progress.count(); ++i)
        QVERIFY(progress.at(i).at(0).toInt() >= progress.at(i - 1).at(0).toInt());

    // A package left from an earlier build is not one of this build's.
    QVERIFY(QFile(packages.at(0)).copy(step->buildDirectory().toString() + "/RPMS/old-0.rpm"));
    QVERIFY(build(step));
    QCOMPARE(step->deployablePackagesFileNames(), packages);
}

void KelvaraTest::failedBuildListsNoPackage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("outside");
    QTest::addColumn<bool>("container");
    QTest::addColumn<QString>("message");
    QTest::newRow("failing build") << "broken" << false << true << QString("exited with code");
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
    KamBuildStep *step = openProject((outside ? outsideDir.path() : m_sdk->workspacePath()) + '/'
                                         + name,
                                     name == "broken" ? "exit 3" : "true");
    QVERIFY(step);

    QStringList output;
    QVERIFY(!build(step, &output));
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
    QTest::addColumn<QByteArray>("commands");
    QTest::addColumn<bool>("buildFolderIsLink");
    QTest::addColumn<int>("packages");
    QTest::addColumn<QString>("message");
    // The package recipe's %build makes the links; OUTSIDE stands for a host folder outside.
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
    QFETCH(QByteArray, commands);
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

    KamBuildStep *step = openProject(m_sdk->workspacePath() + "/links-"
                                         + QString::number(qHash(QTest::currentDataTag())),
                                     commands.replace("OUTSIDE", outside.path().toUtf8()));
    QVERIFY(step);
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
        succeeded = build(step, &output);
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

QTEST_MAIN(KelvaraTest)

#include "tst_kelvara.moc"
