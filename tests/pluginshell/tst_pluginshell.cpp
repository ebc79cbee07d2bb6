#include "../common/testide.h"
#include "../common/testsdk.h"

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/messagemanager.h>
#include <extensionsystem/iplugin.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <kelvara/kamconstants.h>
#include <pelk/buildengine.h>
#include <pelk/sdk.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildstep.h>
#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/deployconfiguration.h>
#include <projectexplorer/kit.h>
#include <projectexplorer/kitinformation.h>
#include <projectexplorer/kitmanager.h>
#include <projectexplorer/project.h>
#include <projectexplorer/projectexplorer.h>
#include <projectexplorer/session.h>
#include <projectexplorer/target.h>
#include <utils/fileutils.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace ProjectExplorer;

namespace {

QStringList s_debugLines;
QtMessageHandler s_previousHandler = nullptr;

void recordDebugLine(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith("[QuillmarkPlugin]"))
        s_debugLines.append(message);
    s_previousHandler(type, context, message);
}

QString readFile(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeFile(const QString &fileName, const QByteArray &contents)
{
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QStringList messagesFrom(const QSignalSpy &spy)
{
    QStringList messages;
    for (const QList<QVariant> &arguments : spy)
        messages.append(arguments.at(0).toString());
    return messages;
}

// The user is told, in four lines, why the keys were not copied and which folder to look at.
bool areFailureLines(const QStringList &messages, const QString &sharedSrcPath)
{
    return messages.size() == 4 && messages.at(0).startsWith("[E] ")
           && messages.join('\n').contains(QDir::toNativeSeparators(sharedSrcPath));
}

class PlainBuildConfiguration : public BuildConfiguration
{
public:
    PlainBuildConfiguration(Target *target)
        : BuildConfiguration(target, "Test.BuildConfiguration")
    {}
};

} // namespace

class PluginShellTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void signActionIsInToolsMenuAndMakesOneDialog();
    void startUpProvisionsEveryEngineSilently();
    void changedFolderIsProvisionedWithFailureLines();
    void existingKeysAreNeitherComparedNorReplaced();
    void missingInstallationKeyStopsTheCopy();
    void plantedLinksAreNotFollowed_data();
    void plantedLinksAreNotFollowed();
    void emptySharedFolderProvisionsNothing();
    void signStepIsOfferedOnlyInPlatformBuildLists();
    void translationFollowsTheLanguageSetting_data();
    void translationFollowsTheLanguageSetting();
    void ideRefusesQuillmarkWithoutKelvara();

private:
    QObject *quillmarkPlugin() const;
    void provision(const QString &sharedSrcPath, bool printUserLog);
    QString keysFolder(const QString &sharedSrcPath) const;
    QString ideVersionOutput(const QString &ide, QString *errors) const;

    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    QTemporaryDir m_secondEngineParent;
    QString m_translationsDir;
};

void PluginShellTest::initTestCase()
{
    qRegisterMetaType<Utils::FilePath>();
    s_previousHandler = qInstallMessageHandler(recordDebugLine);

    m_sdk = std::make_unique<TestSdk>();
    QVERIFY(m_sdk->isValid());
    // World-readable in the installation: the provisioned copy must still be private.
    QVERIFY(QFile::setPermissions(m_sdk->packageSigningPath() + "/regular_key.pem",
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                      | QFile::ReadOther));
    m_sdk->setRunCommands({m_sdk->createPassThroughRunCommand()});
    // The second engine's folder doesn't exist: its provisioning fails at start-up.
    m_sdk->addEngine("second-engine", m_secondEngineParent.filePath("missing"));
    QVERIFY(m_sdk->save());

    // The plug-in looks for translations beside the running program.
    m_translationsDir = QDir::cleanPath(QCoreApplication::applicationDirPath()
                                        + "/../share/qtcreator/translations");
    QVERIFY(QDir().mkpath(m_translationsDir));
    QFile::remove(m_translationsDir + "/Quillmark-ru.qm");
    QVERIFY(QFile::copy(TestIde::buildDir() + "/share/qtcreator/translations/Quillmark-ru.qm",
                        m_translationsDir + "/Quillmark-ru.qm"));

    s_debugLines.clear();
    m_ide = std::make_unique<TestIde>(m_sdk->path());
}

void PluginShellTest::cleanupTestCase()
{
    m_ide.reset();
    qInstallMessageHandler(s_previousHandler);
}

void PluginShellTest::cleanup()
{
    SessionManager::removeProjects(SessionManager::projects());
}

QObject *PluginShellTest::quillmarkPlugin() const
{
    for (ExtensionSystem::PluginSpec *pluginSpec : ExtensionSystem::PluginManager::plugins()) {
        if (pluginSpec->name() == "Quillmark")
            return pluginSpec->plugin();
    }
    return nullptr;
}

void PluginShellTest::provision(const QString &sharedSrcPath, bool printUserLog)
{
    QObject *plugin = quillmarkPlugin();
    QVERIFY(plugin);
    QVERIFY(QMetaObject::invokeMethod(plugin,
                                      "onSharedSrcPathChanged",
                                      Qt::DirectConnection,
                                      Q_ARG(Utils::FilePath,
                                            Utils::FilePath::fromString(sharedSrcPath)),
                                      Q_ARG(bool, printUserLog)));
}

// Runs "kelvara-ide -version" with fresh settings; returns its standard output.
QString PluginShellTest::ideVersionOutput(const QString &ide, QString *errors) const
{
    QTemporaryDir settingsDir;
    QProcess process;
    process.start(ide, {"-settingspath", settingsDir.path(), "--sdk", m_sdk->path(), "-version"});
    process.waitForFinished(-1);
    *errors = QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromLocal8Bit(process.readAllStandardOutput());
}

QString PluginShellTest::keysFolder(const QString &sharedSrcPath) const
{
    return sharedSrcPath + "/.kelvara-regular-keys";
}

void PluginShellTest::signActionIsInToolsMenuAndMakesOneDialog()
{
    Core::Command *command = Core::ActionManager::command("Quillmark.SignDialog");
    QVERIFY(command);
    QCOMPARE(command->action()->text(), QString("&Sign Packages"));

    Core::ActionContainer *toolsMenu = Core::ActionManager::actionContainer(
        Kam::Constants::KAM_TOOLS_MENU);
    QVERIFY(toolsMenu);
    int entries = 0;
    for (QAction *action : toolsMenu->menu()->actions())
        entries += action->text() == "&Sign Packages" ? 1 : 0;
    QCOMPARE(entries, 1);

    const auto signDialogs = [] {
        QList<QWidget *> dialogs;
        for (QWidget *widget : QApplication::allWidgets()) {
            if (QByteArray(widget->metaObject()->className()) == "Quillmark::Internal::SignDialog")
                dialogs.append(widget);
        }
        return dialogs;
    };
    QVERIFY(signDialogs().isEmpty());

    QAction *action = command->action();
    action->trigger();
    const QList<QWidget *> first = signDialogs();
    QCOMPARE(first.size(), 1);
    QVERIFY(first.first()->isVisible());

    first.first()->close();
    action->trigger();
    QCOMPARE(signDialogs(), first);
    QVERIFY(first.first()->isVisible());
    first.first()->close();
}

void PluginShellTest::startUpProvisionsEveryEngineSilently()
{
    const QStringList copyLines = s_debugLines.filter("[QuillmarkPlugin] Copy keys to:");
    QCOMPARE(copyLines.size(), 2);
    QVERIFY(copyLines.at(0).contains('"' + m_sdk->workspacePath() + '"'));
    QVERIFY(copyLines.at(1).contains('"' + m_secondEngineParent.filePath("missing") + '"'));

    const QString keys = keysFolder(m_sdk->workspacePath());
    QCOMPARE(readFile(keys + "/regular_key.pem"), QString("test content of regular_key.pem\n"));
    QCOMPARE(readFile(keys + "/regular_cert.pem"), QString("test content of regular_cert.pem\n"));

    QVERIFY(!QFileInfo::exists(m_secondEngineParent.filePath("missing")));
    QVERIFY(s_debugLines.filter("[QuillmarkPlugin] Failed to copy").size() >= 1);
    QVERIFY(!Core::MessageManager::text().contains("Failed to copy regular keys"));
}

void PluginShellTest::changedFolderIsProvisionedWithFailureLines()
{
    Pelk::BuildEngine *engine = Pelk::Sdk::buildEngine("second-engine");
    QVERIFY(engine);
    QSignalSpy messages(Core::MessageManager::instance(), &Core::MessageManager::messageWritten);

    s_debugLines.clear();
    const QString stillMissing = m_secondEngineParent.filePath("still-missing");
    m_sdk->setSharedSrcPath("second-engine", stillMissing);
    QVERIFY(m_sdk->save());
    QCOMPARE(s_debugLines.filter("[QuillmarkPlugin] Copy keys to:").size(), 1);
    QVERIFY2(areFailureLines(messagesFrom(messages), stillMissing),
             qPrintable(messagesFrom(messages).join('\n')));

    messages.clear();
    const QString existing = m_secondEngineParent.filePath("existing");
    QVERIFY(QDir().mkpath(existing));
    m_sdk->setSharedSrcPath("second-engine", existing);
    QVERIFY(m_sdk->save());
    QCOMPARE(messagesFrom(messages), QStringList());
    // The installed key is world-readable; its copy is readable by its owner only.
    const QFile::Permissions othersAccess = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
                                            | QFile::ReadOther | QFile::WriteOther
                                            | QFile::ExeOther;
    const QFile::Permissions keyPermissions = QFile::permissions(keysFolder(existing)
                                                                 + "/regular_key.pem");
    QVERIFY(keyPermissions & QFile::ReadOwner);
    QCOMPARE(keyPermissions & othersAccess, QFile::Permissions());
    QVERIFY(QFile::permissions(keysFolder(existing) + "/regular_cert.pem") & QFile::ReadOwner);
}

void PluginShellTest::existingKeysAreNeitherComparedNorReplaced()
{
    QTemporaryDir shared;
    QVERIFY(QDir(shared.path()).mkdir(".kelvara-regular-keys"));
    const QString keys = keysFolder(shared.path());
    QSignalSpy messages(Core::MessageManager::instance(), &Core::MessageManager::messageWritten);

    QVERIFY(writeFile(keys + "/regular_key.pem", "the user's own key\n"));
    QVERIFY(writeFile(keys + "/regular_cert.pem", "the user's own certificate\n"));
    provision(shared.path(), true);
    QCOMPARE(readFile(keys + "/regular_key.pem"), QString("the user's own key\n"));
    QCOMPARE(readFile(keys + "/regular_cert.pem"), QString("the user's own certificate\n"));

    // Key present, certificate missing: only the certificate is copied.
    QVERIFY(QFile::remove(keys + "/regular_cert.pem"));
    provision(shared.path(), true);
    QCOMPARE(readFile(keys + "/regular_key.pem"), QString("the user's own key\n"));
    QCOMPARE(readFile(keys + "/regular_cert.pem"), QString("test content of regular_cert.pem\n"));
    QCOMPARE(messages.count(), 0);
}

void PluginShellTest::missingInstallationKeyStopsTheCopy()
{
    const QString installedKey = m_sdk->packageSigningPath() + "/regular_key.pem";
    QVERIFY(QFile::rename(installedKey, installedKey + ".away"));
    QTemporaryDir shared;
    QSignalSpy messages(Core::MessageManager::instance(), &Core::MessageManager::messageWritten);

    provision(shared.path(), false);
    QCOMPARE(messages.count(), 0);
    QVERIFY(QFileInfo(keysFolder(shared.path())).isDir());
    QVERIFY(!QFileInfo::exists(keysFolder(shared.path()) + "/regular_cert.pem"));

    provision(shared.path(), true);
    QVERIFY2(areFailureLines(messagesFrom(messages), shared.path()),
             qPrintable(messagesFrom(messages).join('\n')));
    QVERIFY(!QFileInfo::exists(keysFolder(shared.path()) + "/regular_key.pem"));
    QVERIFY(!QFileInfo::exists(keysFolder(shared.path()) + "/regular_cert.pem"));

    QVERIFY(QFile::rename(installedKey + ".away", installedKey));
}

void PluginShellTest::plantedLinksAreNotFollowed_data()
{
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("keys folder to a host folder") << ".kelvara-regular-keys" << true;
    QTest::newRow("keys folder to a missing folder") << ".kelvara-regular-keys" << false;
    QTest::newRow("dangling key") << ".kelvara-regular-keys/regular_key.pem" << false;
    QTest::newRow("dangling certificate") << ".kelvara-regular-keys/regular_cert.pem" << false;
}

void PluginShellTest::plantedLinksAreNotFollowed()
{
    QFETCH(QString, linkName);
    QFETCH(bool, targetExists);
    QTemporaryDir shared;
    QTemporaryDir host;
    const QString target = host.filePath("target");
    QVERIFY(!targetExists || QDir().mkdir(target));
    QVERIFY(QDir(shared.path()).mkpath(QFileInfo(linkName).path()));
    QVERIFY(QFile::link(target, shared.filePath(linkName)));
    QSignalSpy messages(Core::MessageManager::instance(), &Core::MessageManager::messageWritten);

    provision(shared.path(), true);

    QCOMPARE(QDir(host.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             targetExists ? QStringList("target") : QStringList());
    QVERIFY(!targetExists || QDir(target).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    const QStringList lines = messagesFrom(messages);
    QVERIFY2(areFailureLines(lines, shared.path()), qPrintable(lines.join('\n')));
    QVERIFY2(lines.first().endsWith(shared.filePath(linkName) + " is a link, not a "
                                    + (linkName.endsWith(".pem") ? "file" : "folder")),
             qPrintable(lines.first()));
}

void PluginShellTest::emptySharedFolderProvisionsNothing()
{
    QTemporaryDir workingFolder;
    const QString previousFolder = QDir::currentPath();
    QVERIFY(QDir::setCurrent(workingFolder.path()));
    QSignalSpy messages(Core::MessageManager::instance(), &Core::MessageManager::messageWritten);

    provision(QString(), false);
    QCOMPARE(messages.count(), 0);
    provision(QString(), true);
    QDir::setCurrent(previousFolder);

    QVERIFY(QDir(workingFolder.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                .isEmpty());
    const QStringList lines = messagesFrom(messages);
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines.first().contains("no shared source folder"));
}

void PluginShellTest::signStepIsOfferedOnlyInPlatformBuildLists()
{
    BuildStepFactory *factory = nullptr;
    for (BuildStepFactory *candidate : BuildStepFactory::allBuildStepFactories()) {
        if (candidate->stepId() == "Quillmark.PkgsealStep")
            factory = candidate;
    }
    QVERIFY(factory);

    QString errorString;
    const QString folder = m_sdk->workspacePath() + "/hello";
    QVERIFY(Utils::FileUtils::copyRecursively(Utils::FilePath::fromString(
                                                  qEnvironmentVariable("QUILLMARK_SOURCE_DIR")
                                                  + "/examples/hello"),
                                              Utils::FilePath::fromString(folder),
                                              &errorString));
    const auto opened = ProjectExplorerPlugin::openProject(folder);
    QVERIFY2(opened.project(), qPrintable(opened.errorMessage()));
    Target *platformTarget = opened.project()->activeTarget();
    QVERIFY(factory->canHandle(platformTarget->activeBuildConfiguration()->buildSteps()));
    QVERIFY(!factory->canHandle(platformTarget->activeDeployConfiguration()->stepList()));
    QVERIFY(!factory->canHandle(platformTarget->activeBuildConfiguration()->cleanSteps()));

    Kit *desktopKit = KitManager::registerKit(
        [](Kit *kit) { DeviceTypeKitAspect::setDeviceTypeId(kit, "Desktop"); }, "Test.DesktopKit");
    QVERIFY(desktopKit);
    Project desktopProject("text/plain", Utils::FilePath::fromString(folder + "/hello.spec"));
    Target *desktopTarget = desktopProject.addTargetForKit(desktopKit);
    auto desktopConfiguration = new PlainBuildConfiguration(desktopTarget);
    desktopTarget->addBuildConfiguration(desktopConfiguration);
    QVERIFY(!factory->canHandle(desktopConfiguration->buildSteps()));
    KitManager::deregisterKit(desktopKit);
}

void PluginShellTest::translationFollowsTheLanguageSetting_data()
{
    QTest::addColumn<QString>("systemLanguage");
    QTest::addColumn<QVariant>("overrideLanguage");
    QTest::addColumn<QString>("actionText");

    QTest::newRow("system language") << "ru_RU.UTF-8" << QVariant() << QString("&Подписать пакеты");
    QTest::newRow("empty override")
        << "ru_RU.UTF-8" << QVariant(QString()) << QString("&Sign Packages");
    QTest::newRow("override") << "C" << QVariant(QString("ru_RU")) << QString("&Подписать пакеты");
    QTest::newRow("no translation")
        << "C" << QVariant(QString("de_DE")) << QString("&Sign Packages");
}

void PluginShellTest::translationFollowsTheLanguageSetting()
{
    QFETCH(QString, systemLanguage);
    QFETCH(QVariant, overrideLanguage);
    QFETCH(QString, actionText);

    QTemporaryDir settingsDir;
    if (overrideLanguage.isValid()) {
        QSettings settings(settingsDir.filePath("Kelvara/KelvaraIDE.ini"), QSettings::IniFormat);
        settings.setValue("General/OverrideLanguage", overrideLanguage);
    }
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LC_ALL");
    environment.remove("LC_MESSAGES");
    environment.insert("LANG", systemLanguage);
    environment.insert("LANGUAGE", systemLanguage.section('.', 0, 0));
    probe.setProcessEnvironment(environment);
    probe.start(QCoreApplication::applicationDirPath() + "/quillmark-language-probe",
                {settingsDir.path(), m_sdk->path(), TestIde::pluginDir()});
    QVERIFY(probe.waitForFinished(-1));
    QCOMPARE(probe.exitCode(), 0);
    const QString output = QString::fromUtf8(probe.readAllStandardOutput());
    QCOMPARE(output.trimmed().split('\n').last(), actionText);
}

void PluginShellTest::ideRefusesQuillmarkWithoutKelvara()
{
    QTemporaryDir ideCopy;
    const QDir root(ideCopy.path());
    QVERIFY(root.mkpath("bin") && root.mkpath("lib/qtcreator/plugins"));
    QVERIFY(QFile::copy(TestIde::binDir() + "/kelvara-ide", root.filePath("bin/kelvara-ide")));
    const QDir libraries(TestIde::buildDir() + "/lib/qtcreator");
    for (const QString &library : libraries.entryList({"*.so*"}, QDir::Files))
        QVERIFY(QFile::copy(libraries.filePath(library), root.filePath("lib/qtcreator/" + library)));
    const QDir plugins(TestIde::pluginDir());
    for (const QString &plugin : plugins.entryList({"*.so"}, QDir::Files)) {
        if (plugin != "libKelvara4.so")
            QVERIFY(QFile::copy(plugins.filePath(plugin),
                                root.filePath("lib/qtcreator/plugins/" + plugin)));
    }

    QString errors;
    const QString output = ideVersionOutput(root.filePath("bin/kelvara-ide"), &errors);
    QVERIFY2(output.contains("Pelk 4.15.2"), qPrintable(output));
    QVERIFY2(!output.contains("Quillmark 0.0.1"), qPrintable(output));
    const QString refusal = QString(output + errors).split('\n').filter("Quillmark").join('\n');
    QVERIFY2(refusal.contains("Kelvara"), qPrintable(output + errors));
}

QTEST_MAIN(PluginShellTest)

#include "tst_pluginshell.moc"
