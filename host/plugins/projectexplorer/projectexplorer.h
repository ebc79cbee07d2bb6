#pragma once

#include "projectexplorer_export.h"

#include <extensionsystem/iplugin.h>

#include <QList>
#include <QString>

#include <memory>

namespace ProjectExplorer {

class Project;

class PROJECTEXPLORER_EXPORT ProjectExplorerPlugin : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "ProjectExplorer.json")

public:
    ProjectExplorerPlugin();
    ~ProjectExplorerPlugin() override;

    static ProjectExplorerPlugin *instance();

    class OpenProjectResult
    {
    public:
        OpenProjectResult(Project *project, Project *alreadyOpen, const QString &errorMessage)
            : m_project(project)
            , m_alreadyOpen(alreadyOpen)
            , m_errorMessage(errorMessage)
        {}

        explicit operator bool() const { return m_errorMessage.isEmpty() && !m_alreadyOpen; }
        Project *project() const { return m_project; }
        Project *alreadyOpen() const { return m_alreadyOpen; }
        QString errorMessage() const { return m_errorMessage; }

    private:
        Project *m_project = nullptr;
        Project *m_alreadyOpen = nullptr;
        QString m_errorMessage;
    };

    // Opens the project of a project file or of a folder holding one: restores its saved
    // settings, adds it to the session and starts its parse.
    static OpenProjectResult openProject(const QString &fileName);

    bool initialize(const QStringList &arguments, QString *errorMessage) override;
    void extensionsInitialized() override;
    ShutdownFlag aboutToShutdown() override;

private:
    void parseArguments(const QStringList &arguments);
    void createMenus();
    void updateActions();
    void startUp();
    void startHeadlessBuild();
    void openProjectFromDialog();
    void buildStartupProject();
    void showProjectsPanel();

    class Private;
    std::unique_ptr<Private> d;
};

} // namespace ProjectExplorer
