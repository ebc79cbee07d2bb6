#include "kambuildconfiguration.h"

#include "kambuildstep.h"
#include "kamconstants.h"
#include "kamsettings.h"

#include <projectexplorer/buildsteplist.h>
#include <projectexplorer/project.h>
#include <projectexplorer/target.h>

namespace Kam {
namespace Internal {

KamBuildConfiguration::KamBuildConfiguration(ProjectExplorer::Target *target, BuildType buildType)
    : ProjectExplorer::BuildConfiguration(target, Constants::KAM_BUILD_CONFIGURATION_ID)
    , m_buildType(buildType)
{
    const QString name = buildType == Release ? QString("Release") : QString("Debug");
    setDefaultDisplayName(name);
    setBuildDirectory(Utils::FilePath::fromString(KamSettings::workspaceLocation())
                          .pathAppended("build-" + target->project()->displayName() + '-' + name));
    buildSteps()->appendStep(new KamBuildStep(buildSteps(), KamBuildStep::stepId()));
}

ProjectExplorer::BuildConfiguration::BuildType KamBuildConfiguration::buildType() const
{
    return m_buildType;
}

} // namespace Internal
} // namespace Kam
