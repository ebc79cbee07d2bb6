#pragma once

#include <extensionsystem/iplugin.h>

namespace Pelk {

class Sdk;

namespace Internal {

class PelkPlugin : public ExtensionSystem::IPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QtCreatorPlugin" FILE "Pelk.json")

public:
    PelkPlugin();
    ~PelkPlugin() override;

    bool initialize(const QStringList &arguments, QString *errorString) override;

private:
    void registerBuildEnginesAction();
    void showBuildEnginesDialog();

    Sdk *m_sdk = nullptr;
};

} // namespace Internal
} // namespace Pelk
