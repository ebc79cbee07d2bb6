#pragma once

#include "osspecificaspects.h"
#include "utils_global.h"

namespace Utils {

class QTCREATOR_UTILS_EXPORT HostOsInfo
{
public:
    static constexpr OsType hostOs()
    {
#if defined(Q_OS_WIN)
        return OsTypeWindows;
#elif defined(Q_OS_LINUX)
        return OsTypeLinux;
#elif defined(Q_OS_MAC)
        return OsTypeMac;
#elif defined(Q_OS_UNIX)
        return OsTypeOtherUnix;
#else
        return OsTypeOther;
#endif
    }
    static constexpr bool isAnyUnixHost()
    {
        return hostOs() != OsTypeWindows;
    }
};

} // namespace Utils
