#pragma once

namespace ProjectExplorer {
namespace Constants {

// Step lists
const char BUILDSTEPS_CLEAN[] = "ProjectExplorer.BuildSteps.Clean";
const char BUILDSTEPS_BUILD[] = "ProjectExplorer.BuildSteps.Build";
const char BUILDSTEPS_DEPLOY[] = "ProjectExplorer.BuildSteps.Deploy";

// Device types
const char DESKTOP_DEVICE_TYPE[] = "Desktop";

// Menus and actions
const char M_BUILDPROJECT[] = "ProjectExplorer.Menu.Build";
const char BUILD[] = "ProjectExplorer.Build";
const char CANCELBUILD[] = "ProjectExplorer.CancelBuild";
const char OPEN_PROJECT[] = "ProjectExplorer.OpenProject";
const char CLOSE_PROJECT[] = "ProjectExplorer.CloseProject";
const char PROJECTS_DIALOG[] = "ProjectExplorer.ProjectsDialog";

} // namespace Constants
} // namespace ProjectExplorer
