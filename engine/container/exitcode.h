#pragma once

namespace KelvaraRun {

// Exit codes of kelvara-run itself, chosen like those of env(1) and docker-run(1) so that
// they rarely collide with a tool's own codes. Any other code is the tool's.
enum ExitCode {
    Success = 0,
    SetupFailed = 125,   // bad usage, bad SDK, unknown container, missing folder, no bwrap
    CannotExecute = 126, // the tool was found inside the container but cannot be run
    NotFound = 127       // the tool was not found inside the container
};

} // namespace KelvaraRun
