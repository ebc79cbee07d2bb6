#!/usr/bin/env bash
# The sign step of a 200-package build through the real IDE (kelvara-ide --build), beside its
# reference, pkgseal sign + pkgseal dump of the same packages through the same run command, and
# beside the sign step of an older build of the IDE (optional) on the same SDK, container and
# pkgseal. Each figure is the minimum of RUNS runs (default 3).
# The step's time runs from its first line ("Signing RPM package...") to the build's last
# ("Elapsed time: ..."), both read as the IDE prints them; the platform build step that makes
# the packages before it is not counted.
# Usage: bench/signstep/run-benchmark.sh BUILD_DIR [BEFORE_BUILD_DIR] [RUNS]
set -euo pipefail

build_dir=$(realpath "${1:?Usage: $0 BUILD_DIR [BEFORE_BUILD_DIR] [RUNS]}")
before_dir=${2:+$(realpath "$2")}
runs=${3:-3}
packages=200
work_dir=$(mktemp -d "${TMPDIR:-/tmp}/signstep-bench.XXXXXX")
trap 'rm -rf "$work_dir"' EXIT
echo "Working in $work_dir"

"$build_dir/bin/kelvara-sdk" create "$work_dir/sdk" >/dev/null
workspace=$work_dir/sdk/workspace
run_command=$work_dir/sdk/bin/run-kelvara-build
project=$workspace/many

# One project, $packages small subpackages.
mkdir -p "$project"
{
    printf 'Name: many\nVersion: 1.0\nRelease: 1\nSummary: Many packages\nLicense: MIT\n'
    printf 'BuildArch: noarch\n%%description\nMany packages.\n'
    for i in $(seq 1 "$packages"); do
        printf '%%package p%d\nSummary: Part %d\n%%description p%d\nPart %d.\n' "$i" "$i" "$i" "$i"
    done
    printf '%%install\nmkdir -p %%{buildroot}/usr/share/many\n'
    printf 'for i in $(seq 1 %d); do echo "part $i" > %%{buildroot}/usr/share/many/$i; done\n' \
        "$packages"
    for i in $(seq 1 "$packages"); do
        printf '%%files p%d\n/usr/share/many/%d\n' "$i" "$i"
    done
} >"$project/many.spec"

# Prints the seconds between the sign step's first line and the end of the build. perl reads the
# IDE's output as it comes; bash's read would take a pipe a byte at a time and hold the IDE up on
# a full pipe.
sign_step_seconds() { # ide
    local settings seconds
    settings=$(mktemp -d "$work_dir/settings.XXXXXX")
    seconds=$("$1" -settingspath "$settings" --sdk "$work_dir/sdk" --build "$project" 2>/dev/null |
        perl -MTime::HiRes=time -ne '
            $start = time() if /Signing RPM package\.\.\./;
            $end = time() if /Elapsed time: /;
            END { printf "%.3f", $end - $start if defined $start && defined $end }')
    if [ -z "$seconds" ]; then
        echo "The build with $1 failed" >&2
        kill $$
    fi
    echo "$seconds"
}

# Prints the seconds that sign + dump of the same packages take through the run command.
direct_seconds() {
    local start end built
    rm -rf "$workspace/direct"
    cp -r "$workspace/unsigned" "$workspace/direct"
    built=("$workspace"/direct/*.rpm)
    cd "$workspace"
    start=$EPOCHREALTIME
    WORKSPACE_DIR=$workspace "$run_command" pkgseal sign \
        -k /etc/keys/public/developer-key-release.pem \
        -c /etc/keys/public/developer-regular-release-cert.pem "${built[@]}" >/dev/null
    WORKSPACE_DIR=$workspace "$run_command" pkgseal dump "${built[@]}" >/dev/null
    end=$EPOCHREALTIME
    awk "BEGIN { printf \"%.3f\", $end - $start }"
}

less() { # a b: the lesser, "none" standing for no value yet
    awk -v a="$1" -v b="$2" 'BEGIN { print (a == "none" || b < a) ? b : a }'
}

ratio() { # a b
    awk "BEGIN { printf \"%.2fx\", $1 / $2 }"
}

# The packages as the platform build step makes them, for the direct runs; the container sees
# the workspace only.
rpmbuild -bb --quiet --define "_topdir $work_dir/rpmbuild" "$project/many.spec" >/dev/null 2>&1
mkdir -p "$workspace/unsigned"
cp "$work_dir"/rpmbuild/RPMS/noarch/*.rpm "$workspace/unsigned/"

echo "Measuring ($runs runs of each, taken in turns)..."
after=none before=none direct=none
for _ in $(seq "$runs"); do
    after=$(less "$after" "$(sign_step_seconds "$build_dir/bin/kelvara-ide")")
    if [ -n "$before_dir" ]; then
        before=$(less "$before" "$(sign_step_seconds "$before_dir/bin/kelvara-ide")")
    fi
    direct=$(less "$direct" "$(direct_seconds)")
done

printf '\n%-58s %10s %10s\n' "Sign step of a $packages-package build (minimum)" "seconds" "ratio"
printf '%-58s %10s %10s\n' "kelvara-ide --build" "$after" "$(ratio "$after" "$direct")"
if [ -n "$before_dir" ]; then
    printf '%-58s %10s %10s\n' "kelvara-ide --build, before ($before_dir)" "$before" \
        "$(ratio "$before" "$direct")"
fi
printf '%-58s %10s %10s\n' "reference: pkgseal sign + dump through the run command" "$direct" \
    "1.00x"
