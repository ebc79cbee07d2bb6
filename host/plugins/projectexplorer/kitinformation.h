#pragma once

#include "projectexplorer_export.h"

#include <utils/id.h>

namespace ProjectExplorer {

class Kit;

class PROJECTEXPLORER_EXPORT DeviceTypeKitAspect
{
public:
    static Utils::Id id();
    // The device type of the kit; invalid for a null kit or a kit without one.
    static Utils::Id deviceTypeId(const Kit *k);
    static void setDeviceTypeId(Kit *k, Utils::Id type);
};

} // namespace ProjectExplorer
