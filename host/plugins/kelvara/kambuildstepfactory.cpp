#include "kambuildstepfactory.h"

#include "kambuildstep.h"
#include "kamconstants.h"

#include <projectexplorer/projectexplorerconstants.h>

namespace Kam {
namespace Internal {

KamBuildStepFactory::KamBuildStepFactory()
{
    registerStep<KamBuildStep>(KamBuildStep::stepId());
    setDisplayName(KamBuildStep::displayName());
    setSupportedStepList(ProjectExplorer::Constants::BUILDSTEPS_BUILD);
    setSupportedDeviceType(Constants::KAM_DEVICE_TYPE);
}

} // namespace Internal
} // namespace Kam
