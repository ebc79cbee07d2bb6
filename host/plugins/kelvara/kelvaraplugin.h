#pragma once

#include <extensionsystem/iplugin.h>

#include <memory>

namespace Kam {
namespace Internal {

class KamBuildStepFactory;

class KelvaraPlugin : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "Kelvara.json")

public:
    KelvaraPlugin();
    ~KelvaraPlugin() override;

    bool initialize(const QStringList &arguments, QString *errorString) override;

private:
    static void registerKit();
    static void createToolsMenu();

    std::unique_ptr<KamBuildStepFactory> m_buildStepFactory;
};

} // namespace Internal
} // namespace Kam
