#!/usr/bin/env bash
# Measures pkgseal side by side with its references and, when given, a "before" build of it:
#   sign of one 1 GiB package      vs openssl dgst -sha256 of the file and rpmsign --addsign
#   sign of 500 packages of 20 KB  vs rpmsign --addsign (with a throw-away GnuPG key)
#   verify of those 500 packages   vs rpmkeys --checksig of the 500 signed by rpmsign (with its
#                                  key in a private rpm database, so that it checks signatures)
# and the peak memory of each. Every figure is the minimum wall time of RUNS runs (default 3);
# each run starts from fresh unsigned copies, synced to disk, so no run pays for the last one's
# writes. Needs rpm (rpmbuild, rpmsign, rpmkeys), gnupg, openssl and GNU time.
# Usage: bench/pkgseal/run-benchmarks.sh BUILD_DIR [BEFORE_BUILD_DIR] [WORK_DIR]
set -euo pipefail
here=$(dirname "$(realpath "$0")")

build_dir=$(realpath "${1:?Usage: $0 BUILD_DIR [BEFORE_BUILD_DIR] [WORK_DIR]}")
before_dir=${2:+$(realpath "$2")}
work_dir=${3:-$(mktemp -d "${TMPDIR:-/tmp}/pkgseal-bench.XXXXXX")}
runs=${RUNS:-3}
pkgseal=$build_dir/bin/pkgseal
before=${before_dir:+$before_dir/bin/pkgseal}
mkdir -p "$work_dir"
cd "$work_dir"
source "$here/bench-files.sh"
echo "Working in $work_dir, $runs runs of each"

# best LABEL PREPARE COMMAND...: runs PREPARE (untimed), then COMMAND, RUNS times; sets
# best_seconds and best_kib from the fastest run.
best() {
    local label=$1 prepare=$2
    shift 2
    best_seconds=
    best_kib=
    for _ in $(seq "$runs"); do
        $prepare
        /usr/bin/time -f "%e %M" -o time.out "$@" >/dev/null 2>>commands.log \
            || { echo "$label failed, see $work_dir/commands.log" >&2; exit 1; }
        read -r seconds kib <time.out
        if [ -z "$best_seconds" ] || awk "BEGIN { exit !($seconds < $best_seconds) }"; then
            best_seconds=$seconds
            best_kib=$kib
        fi
    done
    results[$label]="$best_seconds $best_kib"
}

seconds_of() { echo "${results[$1]:-- -}" | cut -d' ' -f1; }
kib_of() { echo "${results[$1]:-- -}" | cut -d' ' -f2; }
ratio() { awk "BEGIN { if (\"$1\" == \"-\" || \"$2\" == \"-\" || $2 == 0) print \"-\"; else printf \"%.2fx\", $1 / $2 }"; }

echo "Making keys and packages..."
make_signer
export GNUPGHOME=$work_dir/gnupg
mkdir -p -m 700 "$GNUPGHOME"
trap 'gpgconf --kill gpg-agent 2>/dev/null || true' EXIT # rpmsign's gpg leaves an agent running
gpg --batch --quiet --passphrase '' --quick-gen-key "Bench <bench@example.invalid>" rsa2048 sign never
rpmsign_args=(--define "_gpg_name Bench <bench@example.invalid>" --define "__gpg $(command -v gpg)")
gpg --batch --quiet --armor --export "Bench <bench@example.invalid>" >bench-key.asc
rpmdb --dbpath "$work_dir/rpmdb" --initdb
rpmkeys --dbpath "$work_dir/rpmdb" --import bench-key.asc
big=$(build_package bench-big $((1024 * 1024 * 1024)))
small=$(build_package bench-small 20000)

fresh_big() { rm -f big.rpm; cp "$big" big.rpm; sync; }
fresh_small() {
    rm -rf small
    mkdir small
    for i in $(seq 1 500); do cp "$small" "small/p$i.rpm"; done
    sync
}
signed_small() { # SIGNER: fresh packages signed by one of the three below, for the verify rows
    fresh_small
    "$1" >/dev/null 2>>commands.log
    sync
}
sign_now() { "$pkgseal" sign -k key.pem -c cert.pem small/*.rpm; }
sign_before() { "$before" sign -k key.pem -c cert.pem small/*.rpm; }
sign_rpmsign() { rpmsign --addsign "${rpmsign_args[@]}" small/*.rpm; }
nothing() { :; }

declare -A results
echo "Measuring one package of $(stat -c %s "$big") bytes..."
best "big dgst" fresh_big openssl dgst -sha256 big.rpm
best "big now" fresh_big "$pkgseal" sign -k key.pem -c cert.pem big.rpm
[ -z "$before" ] || best "big before" fresh_big "$before" sign -k key.pem -c cert.pem big.rpm
best "big rpmsign" fresh_big rpmsign --addsign "${rpmsign_args[@]}" big.rpm
rm -f big.rpm

echo "Measuring 500 packages of $(stat -c %s "$small") bytes in one call..."
fresh_small # so that the names below exist when they are expanded
best "small now" fresh_small "$pkgseal" sign -k key.pem -c cert.pem small/*.rpm
[ -z "$before" ] || best "small before" fresh_small "$before" sign -k key.pem -c cert.pem small/*.rpm
best "small rpmsign" fresh_small rpmsign --addsign "${rpmsign_args[@]}" small/*.rpm
signed_small sign_now
best "verify now" nothing "$pkgseal" verify --root-cert ca.pem small/*.rpm
signed_small sign_rpmsign
best "verify rpmkeys" nothing rpmkeys --dbpath "$work_dir/rpmdb" --checksig small/*.rpm
if [ -n "$before" ]; then
    signed_small sign_before
    best "verify before" nothing "$before" verify --root-cert ca.pem small/*.rpm
fi
rm -rf small

echo
printf '%-34s %10s %10s  %-42s %14s %8s\n' "Work (minimum of $runs runs)" "now" "before" \
    "reference" "now/reference" "goal"
row() { # label, key, reference label, reference key, goal
    printf '%-34s %9ss %9ss  %-34s %6ss %14s %8s\n' "$1" "$(seconds_of "$2 now")" \
        "$(seconds_of "$2 before")" "$3" "$(seconds_of "$4")" \
        "$(ratio "$(seconds_of "$2 now")" "$(seconds_of "$4")")" "$5"
}
row "sign, one 1 GiB package" big "openssl dgst -sha256" "big dgst" "<= 1.2x"
row "" big "rpmsign --addsign" "big rpmsign" ""
row "sign, 500 packages in one call" small "rpmsign --addsign" "small rpmsign" "<= 0.067x"
row "verify, 500 packages" verify "rpmkeys --checksig" "verify rpmkeys" "<= 1.0x"
echo
printf '%-34s %10s %10s\n' "Peak memory (KiB)" "now" "before"
for key in big small verify; do
    printf '%-34s %10s %10s\n' "$key" "$(kib_of "$key now")" "$(kib_of "$key before")"
done
