#include "buildcontainermanager.h"

#include "sdk.h"

namespace Pelk {

QVector<QSharedPointer<BuildContainer>> BuildContainerManager::buildContainers()
{
    return Sdk::buildContainers();
}

} // namespace Pelk
