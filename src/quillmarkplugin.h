#pragma once

#include "deploystepfactory.h"
#include "pkgsealstep.h"

#include <extensionsystem/iplugin.h>

#include <memory>

namespace Utils {
class FilePath;
}

namespace Quillmark {
namespace Internal {

class ProjectListener;
class SignDialog;

class QuillmarkPlugin : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "Quillmark.json")

public:
    QuillmarkPlugin();
    ~QuillmarkPlugin() override;

    bool initialize(const QStringList &arguments, QString *errorString) override;
    void extensionsInitialized() override;
    ShutdownFlag aboutToShutdown() override;

public slots:
    // Copies the SDK's regular developer key and certificate into the engine's shared source
    // folder; failures go to the message pane only when printUserLog is set.
    void onSharedSrcPathChanged(const Utils::FilePath &sharedSrcPath, bool printUserLog);

private:
    void installTranslator();
    void registerSignAction();
    void watchBuildEngines();
    void showSignDialog();

    // Members are destroyed in reverse order: the factory, then the listener, then the dialog.
    std::unique_ptr<SignDialog> signDialog;
    std::unique_ptr<ProjectListener> projectListener;
    DeployStepFactory<PkgsealStep> stepFactory;
};

} // namespace Internal
} // namespace Quillmark
