#include "kitinformation.h"

#include "kit.h"

#include <utils/qtcassert.h>

namespace ProjectExplorer {

Utils::Id DeviceTypeKitAspect::id()
{
    return "PE.Profile.DeviceType";
}

Utils::Id DeviceTypeKitAspect::deviceTypeId(const Kit *k)
{
    return k ? Utils::Id::fromSetting(k->value(id())) : Utils::Id();
}

void DeviceTypeKitAspect::setDeviceTypeId(Kit *k, Utils::Id type)
{
    QTC_ASSERT(k, return );
    k->setValue(id(), type.toSetting());
}

} // namespace ProjectExplorer
