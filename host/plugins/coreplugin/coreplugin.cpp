#include "coreplugin.h"

#include "actionmanager/actioncontainer.h"
#include "actionmanager/actioncontainer_p.h"
#include "actionmanager/actionmanager.h"
#include "actionmanager/command.h"
#include "coreconstants.h"
#include "icore.h"
#include "messagemanager.h"
#include "outputpanearea.h"
#include "outputpanemanager.h"

#include <extensionsystem/pluginmanager.h>

#include <utils/historycompleter.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>

#include <cstdio>

namespace Core {
namespace Internal {

CorePlugin::CorePlugin() = default;

CorePlugin::~CorePlugin()
{
    delete m_messageManager;
    delete m_mainWindow;
    delete m_actionManager;
    delete m_core;
}

bool CorePlugin::initialize(const QStringList &arguments, QString *errorMessage)
{
    Q_UNUSED(errorMessage)
    ICore::setEchoesToTerminal(arguments.contains(QLatin1String("--build")));
    Utils::HistoryCompleter::setSettings(ExtensionSystem::PluginManager::settings());

    createMainWindow();
    m_core = new ICore(m_mainWindow);
    m_actionManager = new ActionManager;
    registerDefaultContainers();
    registerDefaultActions();
    m_messageManager = new MessageManager;

    const int triggerIndex = arguments.indexOf(QLatin1String("--trigger"));
    if (triggerIndex >= 0 && triggerIndex + 1 < arguments.size())
        triggerWhenStarted(Utils::Id::fromString(arguments.at(triggerIndex + 1)));
    return true;
}

// "--trigger ACTION_ID": trigger the action once every plug-in has started.
void CorePlugin::triggerWhenStarted(Utils::Id actionId)
{
    connect(ExtensionSystem::PluginManager::instance(),
            &ExtensionSystem::PluginManager::initializationDone,
            this,
            [actionId] {
                Command *cmd = ActionManager::command(actionId);
                if (!cmd) {
                    MessageManager::writeDisrupting(
                        tr("Cannot trigger \"%1\": no such action is registered.")
                            .arg(actionId.toString()));
                    fprintf(stderr,
                            "No action \"%s\" is registered.\n",
                            actionId.name().constData());
                    return;
                }
                cmd->action()->trigger();
            });
}

void CorePlugin::createMainWindow()
{
    m_mainWindow = new QMainWindow;
    m_mainWindow->setObjectName(QLatin1String("Core.MainWindow"));
    m_mainWindow->setWindowTitle(QLatin1String(Constants::IDE_DISPLAY_NAME));
    m_mainWindow->resize(1024, 720);

    auto splitter = new QSplitter(Qt::Vertical, m_mainWindow);
    auto welcome = new QLabel(tr("%1 %2").arg(QLatin1String(Constants::IDE_DISPLAY_NAME),
                                              QLatin1String(Constants::IDE_VERSION_LONG)),
                              splitter);
    welcome->setAlignment(Qt::AlignCenter);
    auto outputPanes = new OutputPaneArea(splitter);
    splitter->addWidget(welcome);
    splitter->addWidget(outputPanes);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 1);
    m_mainWindow->setCentralWidget(splitter);
    OutputPaneManager::setArea(outputPanes);
}

void CorePlugin::registerDefaultContainers()
{
    ActionContainer *menubar = ActionManager::createMenuBar(Constants::MENU_BAR);
    static_cast<MenuBarActionContainer *>(menubar)->setMenuBar(m_mainWindow->menuBar());
    menubar->appendGroup(Constants::G_FILE);
    menubar->appendGroup(Constants::G_EDIT);
    menubar->appendGroup(Constants::G_VIEW);
    menubar->appendGroup(Constants::G_TOOLS);
    menubar->appendGroup(Constants::G_WINDOW);
    menubar->appendGroup(Constants::G_HELP);

    const struct
    {
        const char *id;
        const char *group;
        QString title;
    } menus[] = {{Constants::M_FILE, Constants::G_FILE, tr("&File")},
                 {Constants::M_TOOLS, Constants::G_TOOLS, tr("&Tools")},
                 {Constants::M_HELP, Constants::G_HELP, tr("&Help")}};
    for (const auto &menu : menus) {
        ActionContainer *container = ActionManager::createMenu(menu.id);
        container->menu()->setTitle(menu.title);
        container->setOnAllDisabledBehavior(ActionContainer::Show);
        menubar->addMenu(container, menu.group);
    }

    ActionContainer *file = ActionManager::actionContainer(Constants::M_FILE);
    file->appendGroup(Constants::G_FILE_NEW);
    file->appendGroup(Constants::G_FILE_OPEN);
    file->appendGroup(Constants::G_FILE_PROJECT);
    file->appendGroup(Constants::G_FILE_CLOSE);
    file->appendGroup(Constants::G_FILE_OTHER);
    ActionManager::actionContainer(Constants::M_TOOLS)->appendGroup(Constants::G_TOOLS_OPTIONS);
    ActionManager::actionContainer(Constants::M_HELP)->appendGroup(Constants::G_HELP_ABOUT);
}

void CorePlugin::registerDefaultActions()
{
    auto exitAction = new QAction(tr("E&xit"), this);
    exitAction->setMenuRole(QAction::QuitRole);
    Command *cmd = ActionManager::registerAction(exitAction, Constants::EXIT);
    cmd->setDefaultKeySequence(QKeySequence(tr("Ctrl+Q")));
    ActionManager::actionContainer(Constants::M_FILE)->addAction(cmd, Constants::G_FILE_OTHER);
    connect(exitAction, &QAction::triggered, m_mainWindow, &QWidget::close);

    auto optionsAction = new QAction(tr("&Options..."), this);
    optionsAction->setMenuRole(QAction::PreferencesRole);
    cmd = ActionManager::registerAction(optionsAction, Constants::OPTIONS);
    ActionManager::actionContainer(Constants::M_TOOLS)->addAction(cmd, Constants::G_TOOLS_OPTIONS);
    connect(optionsAction, &QAction::triggered, this, [] { ICore::showOptionsDialog(Utils::Id()); });

    auto aboutAction = new QAction(tr("&About %1").arg(QLatin1String(Constants::IDE_DISPLAY_NAME)),
                                   this);
    aboutAction->setMenuRole(QAction::AboutRole);
    cmd = ActionManager::registerAction(aboutAction, Constants::ABOUT_QTCREATOR);
    ActionManager::actionContainer(Constants::M_HELP)->addAction(cmd, Constants::G_HELP_ABOUT);
    connect(aboutAction, &QAction::triggered, this, [this] {
        QMessageBox::about(m_mainWindow,
                           tr("About %1").arg(QLatin1String(Constants::IDE_DISPLAY_NAME)),
                           ICore::versionString());
    });
}

void CorePlugin::extensionsInitialized()
{
    emit m_core->coreAboutToOpen();
    // A headless IDE works without a window: nobody would see it. Nor may closing the last window
    // (a dialog) end it.
    if (ICore::echoesToTerminal())
        QApplication::setQuitOnLastWindowClosed(false);
    else
        m_mainWindow->show();
    QMetaObject::invokeMethod(m_core, &ICore::coreOpened, Qt::QueuedConnection);
}

ExtensionSystem::IPlugin::ShutdownFlag CorePlugin::aboutToShutdown()
{
    emit m_core->coreAboutToClose();
    m_mainWindow->hide();
    return SynchronousShutdown;
}

} // namespace Internal
} // namespace Core
