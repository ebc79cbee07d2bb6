#include "../common/testide.h"
#include "../common/testsdk.h"

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/messagemanager.h>
#include <extensionsystem/pluginmanager.h>
#include <extensionsystem/pluginspec.h>
#include <kelvara/kamconstants.h>
#include <projectexplorer/buildconfiguration.h>
#include <projectexplorer/buildstep.h>
#include <projectexplorer/kit.h>
#include <projectexplorer/kitinformation.h>
#include <projectexplorer/kitmanager.h>
#include <projectexplorer/project.h>
#include <projectexplorer/target.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

using namespace ProjectExplorer;

namespace {

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

QString keysFolder(const QString &sharedSrcPath)
{
    return sharedSrcPath + "/.kelvara-regular-keys";
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

    void signActionIsInToolsMenuAndMakesOneDialog();
    void provisionedSilentlyAtStartUpThenAloud();
    void existingKeysAreNeitherComparedNorReplaced();
    void missingInstallationKeyStopsTheCopy();
    void plantedLinksAreNotFollowed_data();
    void plantedLinksAreNotFollowed();
    void emptySharedFolderProvisionsNothing();
    void signStepIsOfferedOnlyInPlatformBuildLists();
    void translationFollowsTheLanguageSetting_data();
    void translationFollowsTheLanguageSetting();

private:
    void provision(const QString &sharedSrcPath, bool printUserLog);

    std::unique_ptr<TestSdk> m_sdk;
    std::unique_ptr<TestIde> m_ide;
    QTemporaryDir m_secondEngineParent;
};

void PluginShellTest::initTestCase()
{
    qRegisterMetaType<Utils::FilePath>();
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
    const QString translations = QCoreApplication::applicationDirPath()
                                 + "/../share/qtcreator/translations/Quillmark-ru.qm";
    QVERIFY(QDir().mkpath(QFileInfo(translations).path()));
    QFile::remove(translations);
    QVERIFY(QFile::copy(TestIde::buildDir() + "/share/qtcreator/translations/Quillmark-ru.qm",
                        translations));
    m_ide = std::make_unique<TestIde>(m_sdk->path());
}

void PluginShellTest::cleanupTestCase()
{
    m_ide.reset();
}

void PluginShellTest::provision(const QString &sharedSrcPath, bool printUserLog)
{
    const auto plugins = ExtensionSystem::PluginManager::plugins();
    const auto quillmark = std::find_if(plugins.cbegin(), plugins.cend(), [](auto plugin) {
        return plugin->name() == "Quillmark";
    });
    QVERIFY(quillmark != plugins.cend());
    QVERIFY(QMetaObject::invokeMethod((*quillmark)->plugin(),
                                      "onSharedSrcPathChanged",
                                      Qt::DirectConnection,
                                      Q_ARG(Utils::FilePath,
                                            Utils::FilePath::fromString(sharedSrcPath)),
                                      Q_ARG(bool, printUserLog)));
}

void PluginShellTest::signActionIsInToolsMenuAndMakesOneDialog()
{
    Core::Command *command = Core::ActionManager::command("Quillmark.SignDialog");
    QVERIFY(command);
    Core::ActionContainer *toolsMenu = Core::ActionManager::actionContainer(
        Kam::Constants::KAM_TOOLS_MENU);
    QVERIFY(toolsMenu);
    QCOMPARE(toolsMenu->menu()->actions().count(command->action()), 1);

    // Triggered again after the dialog was closed, it shows the same dialog.
    QList<QWidget *> shown;
    for (int trigger = 0; trigger < 2; ++trigger) {
        command->action()->trigger();
        QList<QWidget *> visible;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (widget->inherits("Quillmark::Internal::SignDialog") && widget->isVisible())
                visible << widget;
        }
        QCOMPARE(visible.size(), 1);
        shown << visible.first();
        visible.first()->close();
    }
    QCOMPARE(shown.first(), shown.last());
}

// Every engine's shared folder gets the keys at start-up, where a folder that fails says
// nothing; a shared folder changed later is provisioned, and a failure is told.
void PluginShellTest::provisionedSilentlyAtStartUpThenAloud()
{
    const QString keys = keysFolder(m_sdk->workspacePath());
    QCOMPARE(readFile(keys + "/regular_key.pem"), QString("test content of regular_key.pem\n"));
    QCOMPARE(readFile(keys + "/regular_cert.pem"), QString("test content of regular_cert.pem\n"));
    QVERIFY(!QFileInfo::exists(m_secondEngineParent.filePath("missing")));
    QVERIFY(!Core::MessageManager::text().contains("Failed to copy regular keys"));

    QSignalSpy messages(Core::MessageManager::instance(), &Core::MessageManager::messageWritten);
    const QString stillMissing = m_secondEngineParent.filePath("still-missing");
    m_sdk->setSharedSrcPath("second-engine", stillMissing);
    QVERIFY(m_sdk->save());
    QVERIFY2(areFailureLines(messagesFrom(messages), stillMissing),
             qPrintable(messagesFrom(messages).join('\n')));

    messages.clear();
    const QString existing = m_secondEngineParent.filePath("existing");
    QVERIFY(QDir().mkpath(existing));
    m_sdk->setSharedSrcPath("second-engine", existing);
    QVERIFY(m_sdk->save());
    QCOMPARE(messagesFrom(messages), QStringList());
    // The installed key is world-readable; its copy is readable by its owner only.
    const QFile::Permissions keyPermissions = QFile::permissions(keysFolder(existing)
                                                                 + "/regular_key.pem");
    const QFile::Permissions groupAndOthers(0x0077);
    QVERIFY(keyPermissions & QFile::ReadOwner);
    QCOMPARE(keyPermissions & groupAndOthers, QFile::Permissions());
    QVERIFY(QFile::permissions(keysFolder(existing) + "/regular_cert.pem") & QFile::ReadOwner);
}

void PluginShellTest::existingKeysAreNeitherComparedNorReplaced()
{
    QTemporaryDir shared;
    const QString keys = keysFolder(shared.path());
    QVERIFY(QDir().mkpath(keys));
    QSignalSpy messages(Core::MessageManager::instance(), &Core::MessageManager::messageWritten);
    QVERIFY(writeFile(keys + "/regular_key.pem", "the user's own key\n"));
    QVERIFY(writeFile(keys + "/regular_cert.pem", "the user's own certificate\n"));
    provision(shared.path(), true);
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

    provision(shared.path(), true);
    QVERIFY(QFile::rename(installedKey + ".away", installedKey));
    QVERIFY2(areFailureLines(messagesFrom(messages), shared.path()),
             qPrintable(messagesFrom(messages).join('\n')));
    QCOMPARE(QDir(keysFolder(shared.path())).entryList(QDir::Files), QStringList());
}

void PluginShellTest::plantedLinksAreNotFollowed_data()
{
    QTest::addColumn<QString>("linkName");
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("keys folder to a host folder") << ".kelvara-regular-keys" << true;
    QTest::newRow("keys folder to a missing folder") << ".kelvara-regular-keys" << false;
    QTest::newRow("dangling key") << ".kelvara-regular-keys/regular_key.pem" << false;
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
    QVERIFY2(areFailureLines(lines, shared.path())
                 && lines.first().endsWith(shared.filePath(linkName) + " is a link, not a "
                                           + (linkName.endsWith(".pem") ? "file" : "folder")),
             qPrintable(lines.join('\n')));
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
    QCOMPARE(messages.count(), 1);
    QVERIFY(messagesFrom(messages).first().contains("no shared source folder"));
}

// Offered in the build steps of a Kelvara device's configurations only: not in their clean
// steps, nor for other devices.
void PluginShellTest::signStepIsOfferedOnlyInPlatformBuildLists()
{
    const QList<BuildStepFactory *> factories = BuildStepFactory::allBuildStepFactories();
    const auto factory = std::find_if(factories.cbegin(), factories.cend(), [](auto candidate) {
        return candidate->stepId() == "Quillmark.PkgsealStep";
    });
    QVERIFY(factory != factories.cend());
    for (const Utils::Id device :
         {Utils::Id(Kam::Constants::KAM_DEVICE_TYPE), Utils::Id("Desktop")}) {
        Kit *kit = KitManager::registerKit(
            [device](Kit *kit) { DeviceTypeKitAspect::setDeviceTypeId(kit, device); });
        Project project("text/plain", Utils::FilePath::fromString("/test/hello.spec"));
        Target *target = project.addTargetForKit(kit);
        auto configuration = new PlainBuildConfiguration(target);
        target->addBuildConfiguration(configuration);
        QCOMPARE((*factory)->canHandle(configuration->buildSteps()), device != "Desktop");
        QVERIFY(!(*factory)->canHandle(configuration->cleanSteps()));
        KitManager::deregisterKit(kit);
    }
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
    QVERIFY(probe.waitForFinished(-1) && probe.exitCode() == 0);
    QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()).trimmed().split('\n').last(),
             actionText);
}

QTEST_MAIN(PluginShellTest)

#include "tst_pluginshell.moc"
