#pragma once

#include <projectexplorer/buildstep.h>

namespace Kam {
namespace Internal {

class KamBuildStepFactory : public ProjectExplorer::BuildStepFactory
{
public:
    KamBuildStepFactory();
};

} // namespace Internal
} // namespace Kam
