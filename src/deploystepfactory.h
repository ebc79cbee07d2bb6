#pragma once

#include <kelvara/kamconstants.h>

#include <projectexplorer/buildstep.h>
#include <projectexplorer/projectexplorerconstants.h>

namespace Quillmark {
namespace Internal {

// Offers a step in the build step lists of the platform's targets.
template<class Step>
class DeployStepFactory : public ProjectExplorer::BuildStepFactory
{
public:
    DeployStepFactory()
    {
        registerStep<Step>(Step::stepId());
        setDisplayName(Step::displayName());
        setSupportedStepList(ProjectExplorer::Constants::BUILDSTEPS_BUILD);
        setSupportedDeviceType(Kam::Constants::KAM_DEVICE_TYPE);
    }
};

} // namespace Internal
} // namespace Quillmark
