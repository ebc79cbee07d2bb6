#include "projectexplorer.h"

#include "buildconfiguration.h"
#include "buildmanager.h"
#include "buildprogresswidget.h"
#include "buildsteplist.h"
#include "buildstepspanel.h"
#include "compileoutputwindow.h"
#include "headlessbuild.h"
#include "headlessdialoganswerer.h"
#include "interruptwatcher.h"
#include "kitmanager.h"
#include "project.h"
#include "projectexplorerconstants.h"
#include "projectmanager.h"
#include "session.h"
#include "target.h"

#include <coreplugin/actionmanager/actioncontainer.h>
#include <coreplugin/actionmanager/actionmanager.h>
#include <coreplugin/actionmanager/command.h>
#include <coreplugin/coreconstants.h>
#include <coreplugin/icore.h>
#include <coreplugin/messagemanager.h>
#include <extensionsystem/pluginmanager.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>

#include <cstdio>

namespace ProjectExplorer {

static ProjectExplorerPlugin *m_instance = nullptr;

// Options of the IDE that take a value; the value is not a project to open.
static const QStringList optionsWithValue = {"--build",
                                             "--sdk",
                                             "--trigger",
                                             "-settingspath",
                                             "-pluginpath"};

class ProjectExplorerPlugin::Private
{
public:
    KitManager kitManager;
    BuildManager buildManager;
    SessionManager sessionManager;

    Internal::CompileOutputWindow *outputWindow = nullptr;
    QPointer<Internal::BuildStepsPanel> projectsPanel;
    Internal::HeadlessBuild *headlessBuild = nullptr;

    bool headless = false;
    QString headlessProjectPath;
    QString projectToOpen;

    QAction *buildAction = nullptr;
    QAction *cancelBuildAction = nullptr;
    QAction *closeProjectAction = nullptr;
    QAction *projectsAction = nullptr;
};

static void closeAllProjects()
{
    SessionManager::removeProjects(SessionManager::projects());
}

static void exitLater(int exitCode)
{
    // Queued: the application's event loop may not run yet.
    QTimer::singleShot(0, qApp, [exitCode] { QCoreApplication::exit(exitCode); });
}

ProjectExplorerPlugin::ProjectExplorerPlugin()
    : d(std::make_unique<Private>())
{
    m_instance = this;
}

ProjectExplorerPlugin::~ProjectExplorerPlugin()
{
    delete d->projectsPanel;
    closeAllProjects();
    m_instance = nullptr;
}

ProjectExplorerPlugin *ProjectExplorerPlugin::instance()
{
    return m_instance;
}

ProjectExplorerPlugin::OpenProjectResult ProjectExplorerPlugin::openProject(const QString &fileName)
{
    QString errorMessage;
    const Utils::FilePath path = Utils::FilePath::fromString(
        QDir::cleanPath(QDir::current().absoluteFilePath(fileName)));
    const Utils::FilePath projectFile = ProjectManager::findProjectFile(path, &errorMessage);
    if (projectFile.isEmpty())
        return {nullptr, nullptr, errorMessage};

    for (Project *open : SessionManager::projects()) {
        if (open->projectFilePath() == projectFile)
            return {nullptr, open, QString()};
    }

    Project *project = ProjectManager::openProject(projectFile);
    if (!project) {
        return {nullptr,
                nullptr,
                tr("No project type can open \"%1\".").arg(projectFile.toUserOutput())};
    }

    if (project->restoreSettings(&errorMessage) != Project::RestoreResult::Ok) {
        const QString warning = tr("The settings of project \"%1\" could not be restored: %2")
                                    .arg(project->displayName(), errorMessage);
        qWarning().noquote() << warning;
        if (Core::MessageManager::instance())
            Core::MessageManager::writeFlashing(warning);
    }
    SessionManager::addProject(project);
    QMetaObject::invokeMethod(project, &Project::requestParse, Qt::QueuedConnection);
    return {project, nullptr, QString()};
}

bool ProjectExplorerPlugin::initialize(const QStringList &arguments, QString *errorMessage)
{
    Q_UNUSED(errorMessage)
    parseArguments(arguments);
    d->outputWindow = new Internal::CompileOutputWindow(this);
    Core::ICore::mainWindow()->statusBar()->addPermanentWidget(new Internal::BuildProgressWidget);
    createMenus();
    connect(ExtensionSystem::PluginManager::instance(),
            &ExtensionSystem::PluginManager::initializationDone,
            this,
            &ProjectExplorerPlugin::startUp);
    connect(BuildManager::instance(),
            &BuildManager::buildStateChanged,
            this,
            &ProjectExplorerPlugin::updateActions);
    connect(SessionManager::instance(),
            &SessionManager::startupProjectChanged,
            this,
            &ProjectExplorerPlugin::updateActions);
    updateActions();
    return true;
}

void ProjectExplorerPlugin::extensionsInitialized() {}

ExtensionSystem::IPlugin::ShutdownFlag ProjectExplorerPlugin::aboutToShutdown()
{
    delete d->projectsPanel;
    BuildManager::cancel();
    if (!BuildManager::isBuilding()) {
        closeAllProjects();
        return SynchronousShutdown;
    }
    // A cancelled step may still be winding down; close the projects once it has.
    connect(BuildManager::instance(), &BuildManager::buildQueueFinished, this, [this] {
        closeAllProjects();
        emit asynchronousShutdownFinished();
    });
    return AsynchronousShutdown;
}

void ProjectExplorerPlugin::parseArguments(const QStringList &arguments)
{
    for (int i = 0; i < arguments.count(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == "--build") {
            d->headless = true;
            d->headlessProjectPath = arguments.value(++i);
        } else if (optionsWithValue.contains(argument)) {
            ++i;
        } else if (!argument.startsWith('-')) {
            d->projectToOpen = argument;
        }
    }
}

void ProjectExplorerPlugin::createMenus()
{
    Core::ActionContainer *fileMenu = Core::ActionManager::createMenu(Core::Constants::M_FILE);
    auto openProjectAction = new QAction(tr("Open Project..."), this);
    Core::Command *command = Core::ActionManager::registerAction(openProjectAction,
                                                                 Constants::OPEN_PROJECT);
    command->setDefaultKeySequence(QKeySequence(tr("Ctrl+Shift+O")));
    fileMenu->addAction(command, Core::Constants::G_FILE_OPEN);
    connect(openProjectAction,
            &QAction::triggered,
            this,
            &ProjectExplorerPlugin::openProjectFromDialog);

    d->closeProjectAction = new QAction(tr("Close Project"), this);
    fileMenu->addAction(Core::ActionManager::registerAction(d->closeProjectAction,
                                                            Constants::CLOSE_PROJECT),
                        Core::Constants::G_FILE_CLOSE);
    connect(d->closeProjectAction, &QAction::triggered, this, [] {
        if (Project *project = SessionManager::startupProject())
            SessionManager::removeProject(project);
    });

    Core::ActionContainer *buildMenu = Core::ActionManager::createMenu(Constants::M_BUILDPROJECT);
    buildMenu->menu()->setTitle(tr("&Build"));
    Core::ActionManager::createMenuBar(Core::Constants::MENU_BAR)
        ->addMenu(buildMenu, Core::Constants::G_VIEW);

    d->buildAction = new QAction(tr("Build Project"), this);
    command = Core::ActionManager::registerAction(d->buildAction, Constants::BUILD);
    command->setDefaultKeySequence(QKeySequence(tr("Ctrl+B")));
    buildMenu->addAction(command);
    connect(d->buildAction, &QAction::triggered, this, &ProjectExplorerPlugin::buildStartupProject);

    d->cancelBuildAction = new QAction(tr("Cancel Build"), this);
    buildMenu->addAction(
        Core::ActionManager::registerAction(d->cancelBuildAction, Constants::CANCELBUILD));
    connect(d->cancelBuildAction, &QAction::triggered, this, &BuildManager::cancel);

    d->projectsAction = new QAction(tr("Projects..."), this);
    buildMenu->addAction(
        Core::ActionManager::registerAction(d->projectsAction, Constants::PROJECTS_DIALOG));
    connect(d->projectsAction, &QAction::triggered, this, &ProjectExplorerPlugin::showProjectsPanel);
}

void ProjectExplorerPlugin::updateActions()
{
    const bool building = BuildManager::isBuilding();
    Project *project = SessionManager::startupProject();
    d->buildAction->setEnabled(project && !building);
    d->cancelBuildAction->setEnabled(building);
    d->closeProjectAction->setEnabled(project && !BuildManager::isBuilding(project));
}

void ProjectExplorerPlugin::startUp()
{
    if (d->headless) {
        startHeadlessBuild();
        return;
    }
    if (d->projectToOpen.isEmpty())
        return;
    const OpenProjectResult result = openProject(d->projectToOpen);
    if (!result && !result.alreadyOpen()) {
        Core::MessageManager::writeDisrupting(
            tr("Failed to open project \"%1\": %2").arg(d->projectToOpen, result.errorMessage()));
    }
}

void ProjectExplorerPlugin::startHeadlessBuild()
{
    if (d->headlessProjectPath.isEmpty()) {
        std::fputs(qPrintable(tr("The option --build needs a project folder.") + '\n'), stderr);
        exitLater(1);
        return;
    }
    d->headlessBuild = new Internal::HeadlessBuild(d->headlessProjectPath, this);
    connect(d->headlessBuild, &Internal::HeadlessBuild::finished, this, [](bool success) {
        exitLater(success ? 0 : 1);
    });
    // Nobody answers a dialog here, and the user stops the build with a signal.
    auto dialogs = new Internal::HeadlessDialogAnswerer(d->headlessBuild);
    connect(dialogs,
            &Internal::HeadlessDialogAnswerer::passPhraseRefused,
            d->headlessBuild,
            &Internal::HeadlessBuild::fail);
    auto interrupts = new Internal::InterruptWatcher(d->headlessBuild);
    connect(interrupts,
            &Internal::InterruptWatcher::interrupted,
            d->headlessBuild,
            [this](const QString &signalName) {
                d->headlessBuild->cancel(tr("%1 received: canceling the build...").arg(signalName));
            });
    d->headlessBuild->start();
}

void ProjectExplorerPlugin::openProjectFromDialog()
{
    const QString path = QFileDialog::getExistingDirectory(Core::ICore::dialogParent(),
                                                           tr("Open Project"));
    if (path.isEmpty())
        return;
    const OpenProjectResult result = openProject(path);
    if (!result && !result.alreadyOpen()) {
        Core::MessageManager::writeDisrupting(
            tr("Failed to open project \"%1\": %2").arg(path, result.errorMessage()));
    }
}

void ProjectExplorerPlugin::buildStartupProject()
{
    Project *project = SessionManager::startupProject();
    Target *target = project ? project->activeTarget() : nullptr;
    BuildConfiguration *configuration = target ? target->activeBuildConfiguration() : nullptr;
    if (!configuration) {
        Core::MessageManager::writeFlashing(tr("There is no build configuration to build."));
        return;
    }
    d->outputWindow->popUp();
    BuildManager::buildList(configuration->buildSteps());
}

void ProjectExplorerPlugin::showProjectsPanel()
{
    if (!d->projectsPanel)
        d->projectsPanel = new Internal::BuildStepsPanel(Core::ICore::dialogParent());
    d->projectsPanel->show();
    Core::ICore::raiseWindow(d->projectsPanel);
}

} // namespace ProjectExplorer
