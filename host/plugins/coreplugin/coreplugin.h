#pragma once

#include <extensionsystem/iplugin.h>

#include <utils/id.h>

QT_BEGIN_NAMESPACE
class QMainWindow;
QT_END_NAMESPACE

namespace Core {

class ActionManager;
class ICore;
class MessageManager;

namespace Internal {

class CorePlugin : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "Core.json")

public:
    CorePlugin();
    ~CorePlugin() override;

    bool initialize(const QStringList &arguments, QString *errorMessage) override;
    void extensionsInitialized() override;
    ShutdownFlag aboutToShutdown() override;

private:
    void createMainWindow();
    void registerDefaultContainers();
    void registerDefaultActions();
    void triggerWhenStarted(Utils::Id actionId);

    QMainWindow *m_mainWindow = nullptr;
    ICore *m_core = nullptr;
    ActionManager *m_actionManager = nullptr;
    MessageManager *m_messageManager = nullptr;
};

} // namespace Internal
} // namespace Core
