#!/bin/sh
# Stands in for a build container's run command in the sign step's tests: every command but
# pkgseal runs as it is (rpmbuild builds real packages); pkgseal is played from the files beside
# this script, and each of its calls is logged as one line to calls.log there.
#   <sub>.out   printed to standard output by "pkgseal <sub>"
#   <sub>.err   printed to standard error
#   <sub>.exit  the exit code (0 when absent)
#   <sub>.hold  "pkgseal <sub>" says "waiting for release" and waits until "release" exists,
#               then prints "released" and leaves <sub>.released
here=$(dirname "$0")
if [ "$1" != pkgseal ]; then
    exec "$@"
fi

printf '%s\n' "$*" >> "$here/calls.log"
sub=$2
if [ -e "$here/$sub.hold" ]; then
    echo "waiting for release"
    while [ ! -e "$here/release" ]; do sleep 0.02; done
    echo "released"
    : > "$here/$sub.released"
fi
[ -e "$here/$sub.out" ] && cat "$here/$sub.out"
[ -e "$here/$sub.err" ] && cat "$here/$sub.err" >&2
code=0
[ -e "$here/$sub.exit" ] && code=$(cat "$here/$sub.exit")
exit "$code"
