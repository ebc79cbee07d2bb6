#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything, creates the demo SDK when it is missing and
# runs the main job: the demo project is built headless in the build container, its packages come
# out signed, and the signatures they carry are shown.
#   ./run.sh          the main job
#   ./run.sh --gui    open the IDE on the demo project instead
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

sdk_dir="$build_dir/demo-sdk"
settings_dir="$build_dir/demo-settings"
project_dir="$sdk_dir/workspace/hello"

if [ ! -f "$sdk_dir/sdk.json" ]; then
    echo "Creating the demo SDK in $sdk_dir"
    "$build_dir/bin/kelvara-sdk" create "$sdk_dir"
fi

if [ "${1:-}" = "--gui" ]; then
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
        echo "No display: --gui needs a desktop session (or run under xvfb-run)." >&2
        exit 1
    fi
    exec "$build_dir/bin/kelvara-ide" -settingspath "$settings_dir" --sdk "$sdk_dir" "$project_dir"
fi

echo "== Building $project_dir in the build container"
"$build_dir/bin/kelvara-ide" -settingspath "$settings_dir" --sdk "$sdk_dir" --build "$project_dir"

echo
echo "== Signatures of the built packages"
# The platform build step builds the active (Debug) configuration under <workspace>/build-hello-Debug.
mapfile -t packages < <(find "$sdk_dir/workspace/build-hello-Debug/RPMS" -name '*.rpm' 2>/dev/null | sort)
if [ ${#packages[@]} -eq 0 ]; then
    echo "No packages were built." >&2
    exit 1
fi
cd "$sdk_dir/workspace"
"$sdk_dir/bin/run-kelvara-build" pkgseal dump "${packages[@]}"
echo
echo "== Verification against the demo root CA"
"$sdk_dir/bin/run-kelvara-build" pkgseal verify --root-cert /etc/keys/public/root-ca-bundle.pem "${packages[@]}"
echo "All packages verify."
