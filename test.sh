#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs every test suite.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/setup.sh

ctest --test-dir "$build_dir" -j "$jobs" --output-on-failure --timeout 900
