#pragma once

#include "pelk_global.h"

#include <QSharedPointer>
#include <QVector>

namespace Pelk {

class BuildContainer;

class PELK_EXPORT BuildContainerManager
{
public:
    // The build containers of the SDK in the order of its configuration.
    static QVector<QSharedPointer<BuildContainer>> buildContainers();
};

} // namespace Pelk
