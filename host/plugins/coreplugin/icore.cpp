#include "icore.h"

#include "coreconstants.h"
#include "dialogs/settingsdialog.h"

#include <extensionsystem/pluginmanager.h>

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <QPointer>
#include <QStandardPaths>

namespace Core {

namespace {
ICore *m_instance = nullptr;
QPointer<QMainWindow> m_mainWindow;
bool m_echoesToTerminal = false;

QString shareDir()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QLatin1String("/../share/qtcreator"));
}
} // namespace

ICore::ICore(QMainWindow *mainWindow)
{
    m_instance = this;
    m_mainWindow = mainWindow;
}

ICore::~ICore()
{
    m_instance = nullptr;
    m_mainWindow = nullptr;
}

ICore *ICore::instance()
{
    return m_instance;
}

bool ICore::showOptionsDialog(const Utils::Id page, QWidget *parent)
{
    return Internal::SettingsDialog::execDialog(parent ? parent : dialogParent(), page);
}

QSettings *ICore::settings(QSettings::Scope scope)
{
    if (scope == QSettings::UserScope)
        return ExtensionSystem::PluginManager::settings();
    return ExtensionSystem::PluginManager::globalSettings();
}

QString ICore::resourcePath()
{
    return shareDir();
}

QString ICore::userResourcePath()
{
    const QFileInfo settingsFile(settings()->fileName());
    return settingsFile.absolutePath() + QLatin1Char('/')
           + QCoreApplication::applicationName().toLower();
}

QString ICore::cacheResourcePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
}

QString ICore::libexecPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath()
                           + QLatin1String("/../libexec/qtcreator"));
}

QString ICore::versionString()
{
    return tr("%1 %2").arg(QLatin1String(Constants::IDE_DISPLAY_NAME),
                           QLatin1String(Constants::IDE_VERSION_LONG));
}

QMainWindow *ICore::mainWindow()
{
    return m_mainWindow;
}

QWidget *ICore::dialogParent()
{
    QWidget *active = QApplication::activeModalWidget();
    if (!active)
        active = QApplication::activeWindow();
    if (!active || (active->windowFlags() & (Qt::SplashScreen | Qt::Popup)) != 0)
        active = m_mainWindow;
    return active;
}

void ICore::raiseWindow(QWidget *widget)
{
    if (!widget)
        return;
    QWidget *window = widget->window();
    if (!window)
        return;
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

bool ICore::echoesToTerminal()
{
    return m_echoesToTerminal;
}

void ICore::setEchoesToTerminal(bool echo)
{
    m_echoesToTerminal = echo;
}

} // namespace Core
