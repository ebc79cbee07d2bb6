#pragma once

#include <projectexplorer/buildconfiguration.h>

namespace Kam {
namespace Internal {

// A build configuration of a platform project: its build step list holds the platform build
// step, and it builds in a folder of the workspace.
class KamBuildConfiguration : public ProjectExplorer::BuildConfiguration
{
    Q_OBJECT

public:
    KamBuildConfiguration(ProjectExplorer::Target *target, BuildType buildType);

    BuildType buildType() const override;

private:
    const BuildType m_buildType;
};

} // namespace Internal
} // namespace Kam
