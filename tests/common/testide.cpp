#include "testide.h"

#include <extensionsystem/pluginmanager.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QSettings>

TestIde::TestIde(const QString &sdkDir, const QStringList &plugins, const QStringList &arguments)
    : m_settingsDir(QDir::tempPath() + QLatin1String("/kelvara-test-settings-XXXXXX"))
{
    QCoreApplication::setOrganizationName(QLatin1String("Kelvara"));
    QCoreApplication::setApplicationName(QLatin1String("KelvaraIDE"));
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    if (!sdkDir.isEmpty())
        qputenv("KELVARA_SDK_DIR", QDir(sdkDir).absolutePath().toLocal8Bit());

    m_pluginManager = std::make_unique<ExtensionSystem::PluginManager>();
    ExtensionSystem::PluginManager::setPluginPaths({pluginDir()});
    ExtensionSystem::PluginManager::setPluginsToLoad(plugins);
    ExtensionSystem::PluginManager::setArguments(arguments);
    ExtensionSystem::PluginManager::loadPlugins();
    for (const QString &error : ExtensionSystem::PluginManager::errors())
        qWarning("%s", qPrintable(error));

    QEventLoop loop;
    QObject::connect(m_pluginManager.get(),
                     &ExtensionSystem::PluginManager::initializationDone,
                     &loop,
                     &QEventLoop::quit);
    if (!ExtensionSystem::PluginManager::isInitializationDone())
        loop.exec();
}

TestIde::~TestIde()
{
    ExtensionSystem::PluginManager::shutdown();
    m_pluginManager.reset();
}

QStringList TestIde::errors() const
{
    return ExtensionSystem::PluginManager::errors();
}

QString TestIde::settingsPath() const
{
    return m_settingsDir.path();
}

QString TestIde::buildDir()
{
    const QString fromEnvironment = qEnvironmentVariable("QUILLMARK_BUILD_DIR");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    // Suites live in <build>/tests/bin.
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1String("/../.."));
}

QString TestIde::binDir()
{
    return buildDir() + QLatin1String("/bin");
}

QString TestIde::pluginDir()
{
    return buildDir() + QLatin1String("/lib/qtcreator/plugins");
}
