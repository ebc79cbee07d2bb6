#pragma once

namespace Kam {
namespace Constants {

const char KAM_DEVICE_TYPE[] = "Kam.Device.Type";
const char KAM_KIT_ID[] = "Kam.Kit.Platform";
const char KAM_PROJECT_ID[] = "Kam.Project";
// A platform project is a folder holding one RPM spec file.
const char KAM_PROJECT_MIMETYPE[] = "text/x-rpm-spec"; // RPM spec file
const char KAM_PROJECT_FILE_SUFFIX[] = "spec";         // RPM spec file
const char KAM_BUILD_CONFIGURATION_ID[] = "Kam.BuildConfiguration";
const char KAM_DEPLOY_CONFIGURATION_ID[] = "Kam.DeployConfiguration";
const char KAM_BUILD_STEP_ID[] = "Kam.BuildStep";

const char KAM_TOOLS_MENU[] = "Kam.Tools.Menu";

const char KAM_WORKSPACE_LOCATION_KEY[] = "Kam/WorkspaceLocation";

} // namespace Constants
} // namespace Kam
