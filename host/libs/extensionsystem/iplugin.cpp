#include "iplugin.h"

namespace ExtensionSystem {

IPlugin::IPlugin() = default;

IPlugin::~IPlugin() = default;

QVector<QObject *> IPlugin::createTestObjects() const
{
    return {};
}

PluginSpec *IPlugin::pluginSpec() const
{
    return m_pluginSpec;
}

} // namespace ExtensionSystem
