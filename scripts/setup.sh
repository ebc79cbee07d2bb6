#!/usr/bin/env bash
# Installs what the build needs from Debian's packages (only what is missing), then configures and
# builds the whole tree into build/. Sourced by run.sh and test.sh.
set -euo pipefail

repo_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="${QUILLMARK_BUILD_DIR:-$repo_dir/build}"

packages=(
    cmake g++ make ccache pkg-config
    qtbase5-dev qttools5-dev qttools5-dev-tools
    libssl-dev openssl libengine-gost-openssl
    rpm bubblewrap
    clang-14 libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
        || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
fi

export CCACHE_BASEDIR="$repo_dir"
# Debug information names the build folder; leaving it out of the hash lets worktrees and clones
# share one cache.
export CCACHE_NOHASHDIR=1
export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/quillmark-ccache}"
jobs="$(nproc)"

cmake -S "$repo_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build_dir" -j "$jobs"
