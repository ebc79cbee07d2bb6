#pragma once

#include "kelvara_global.h"

#include <QString>

namespace Kam {
namespace Internal {

class KELVARA_EXPORT KamSettings
{
public:
    // The host folder of the platform's workspace: the setting "Kam/WorkspaceLocation" of the
    // IDE when it is set, else the workspace of the SDK configuration.
    static QString workspaceLocation();
    // Host-only: an empty location falls back to the SDK's workspace.
    static void setWorkspaceLocation(const QString &location);
};

} // namespace Internal
} // namespace Kam
