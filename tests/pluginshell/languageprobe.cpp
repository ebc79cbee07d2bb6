// quillmark-language-probe SETTINGS_DIR SDK_DIR PLUGIN_DIR
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <extensionsystem/pluginmanager.h>

#include <QAction>
#include <QApplication>
#include <QSettings>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 4) {
        QTextStream(stderr) << "usage: quillmark-language-probe SETTINGS_DIR SDK_DIR PLUGIN_DIR\n";
        return 2;
    }
    QCoreApplication::setOrganizationName("Kelvara");
    QCoreApplication::setApplicationName("KelvaraIDE");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, arguments.at(1));
    qputenv("KELVARA_SDK_DIR", arguments.at(2).toLocal8Bit());

    ExtensionSystem::PluginManager pluginManager;
    ExtensionSystem::PluginManager::setSettings(
        new QSettings(QSettings::IniFormat, QSettings::UserScope, "Kelvara", "KelvaraIDE"));
    ExtensionSystem::PluginManager::setPluginPaths({arguments.at(3)});
    ExtensionSystem::PluginManager::loadPlugins();

    Core::Command *command = Core::ActionManager::command("Quillmark.SignDialog");
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << (command ? command->action()->text() : QString("<no action>")) << '\n';
    out.flush();
    ExtensionSystem::PluginManager::shutdown();
    return command ? 0 : 1;
}
