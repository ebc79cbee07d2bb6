#include "kamsettings.h"

#include "kamconstants.h"

#include <extensionsystem/pluginmanager.h>
#include <pelk/sdk.h>

#include <QSettings>

namespace Kam {
namespace Internal {

QString KamSettings::workspaceLocation()
{
    const QString location = ExtensionSystem::PluginManager::settings()
                                 ->value(Constants::KAM_WORKSPACE_LOCATION_KEY)
                                 .toString();
    return location.isEmpty() ? Pelk::Sdk::workspacePath() : location;
}

void KamSettings::setWorkspaceLocation(const QString &location)
{
    QSettings *settings = ExtensionSystem::PluginManager::settings();
    if (location.isEmpty())
        settings->remove(Constants::KAM_WORKSPACE_LOCATION_KEY);
    else
        settings->setValue(Constants::KAM_WORKSPACE_LOCATION_KEY, location);
}

} // namespace Internal
} // namespace Kam
