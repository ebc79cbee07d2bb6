#!/usr/bin/env bash
# Kills pkgseal at random moments while it signs a package and checks what it leaves: the package
# must be byte-identical to rpmbuild's or fully signed (it verifies, rpm's digests are intact, and
# delete gives rpmbuild's bytes back), and nothing else may be left beside it. Prints, per way of
# killing, how many runs left the package as it was, signed, or damaged; exits 1 on any damage.
#   SIGKILL, written in place    the package has one name, so the signature header is rewritten
#   SIGKILL, replaced            a second name forces a copy that replaces the package
#   SIGTERM, replaced            the same, stopped by a catchable signal
#   SIGTERM, named file          the same without /proc (as root only), so that pkgseal falls back
#                                to a named temporary file, as on file systems without unnamed ones
#   SIGTERM, 200 named files     the same with 200 small packages in one call, whose workers make
#                                their temporary files while the signal arrives (checks only that
#                                no temporary file is left)
# Usage: bench/pkgseal/kill-loop.sh BUILD_DIR [ROUNDS]   (ROUNDS per way, default 100)
set -euo pipefail
here=$(dirname "$(realpath "$0")")

build_dir=$(realpath "${1:?Usage: $0 BUILD_DIR [ROUNDS]}")
rounds=${2:-100}
pkgseal=$build_dir/bin/pkgseal
work_dir=$(mktemp -d "${TMPDIR:-/tmp}/pkgseal-kill.XXXXXX")
trap 'rm -rf "$work_dir"' EXIT
cd "$work_dir"
source "$here/bench-files.sh"

make_signer
original=$(build_package bulky 67108864)
small=$(build_package small 20000)
original_hash=$(sha256sum <"$original")
mkdir target

prepare() { # second name wanted (0/1)
    rm -f target/bulky.rpm other-name.rpm
    cp "$original" target/bulky.rpm
    [ "$1" = 0 ] || ln target/bulky.rpm other-name.rpm
}

# Prints unchanged, signed or damaged (with the reason on standard error).
outcome() {
    if [ "$(ls -A target)" != bulky.rpm ]; then
        echo "left beside the package: $(ls -A target | tr '\n' ' ')" >&2
        echo damaged
    elif [ "$(sha256sum <target/bulky.rpm)" = "$original_hash" ]; then
        echo unchanged
    elif ! "$pkgseal" verify --root-cert ca.pem target/bulky.rpm >/dev/null 2>&1 \
        || ! rpmkeys --checksig --nosignature target/bulky.rpm >/dev/null 2>&1; then
        echo "signed package does not verify" >&2
        echo damaged
    elif ! "$pkgseal" delete target/bulky.rpm >/dev/null 2>&1 \
        || [ "$(sha256sum <target/bulky.rpm)" != "$original_hash" ]; then
        echo "delete does not give rpmbuild's bytes back" >&2
        echo damaged
    else
        echo signed
    fi
}

damaged_total=0
kill_loop() { # label, signal, second name (0/1), named temporary file (0/1)
    local label=$1 signal=$2 second=$3 named=$4
    local command=("$pkgseal" sign -k key.pem -c cert.pem target/bulky.rpm)
    if [ "$named" = 1 ]; then
        if [ "$(id -u)" != 0 ]; then
            printf '%-32s skipped: hiding /proc needs root\n' "$label"
            return
        fi
        # The shell execs pkgseal, which keeps the process id that is killed.
        command=(unshare -m sh -c 'mount -t tmpfs none /proc && exec "$0" "$@"' "${command[@]}")
    fi
    prepare "$second"
    local start end full
    start=$(date +%s%N)
    "${command[@]}" >/dev/null 2>&1 || { echo "$label: pkgseal fails without a kill" >&2; exit 1; }
    end=$(date +%s%N)
    full=$(((end - start) / 1000)) # microseconds of a whole signing
    local -A count=([unchanged]=0 [signed]=0 [damaged]=0)
    for _ in $(seq "$rounds"); do
        prepare "$second"
        "${command[@]}" >/dev/null 2>&1 &
        local pid=$!
        local delay=$(((RANDOM * 32768 + RANDOM) % (full * 12 / 10 + 1)))
        sleep "$(printf '%d.%06d' $((delay / 1000000)) $((delay % 1000000)))"
        kill "-$signal" "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        if [ "$second" = 1 ] && [ "$(sha256sum <other-name.rpm)" != "$original_hash" ]; then
            echo "the second name changed" >&2
            count[damaged]=$((count[damaged] + 1))
            continue
        fi
        local result
        result=$(outcome)
        count[$result]=$((count[$result] + 1))
    done
    damaged_total=$((damaged_total + count[damaged]))
    printf '%-32s %5d runs: %5d unchanged %5d signed %5d damaged\n' "$label" "$rounds" \
        "${count[unchanged]}" "${count[signed]}" "${count[damaged]}"
}

# Many small packages, each with a second name, signed in one call without /proc.
kill_batch_loop() {
    local label="SIGTERM, 200 named files"
    if [ "$(id -u)" != 0 ]; then
        printf '%-32s skipped: hiding /proc needs root\n' "$label"
        return
    fi
    local left=0
    for _ in $(seq "$rounds"); do
        rm -rf batch second-names
        mkdir batch second-names
        for i in $(seq 200); do
            cp "$small" "batch/p$i.rpm"
            ln "batch/p$i.rpm" "second-names/p$i.rpm"
        done
        unshare -m sh -c 'mount -t tmpfs none /proc && exec "$0" "$@"' \
            "$pkgseal" sign -k key.pem -c cert.pem batch/*.rpm >/dev/null 2>&1 &
        local pid=$!
        sleep "0.$((RANDOM % 3))$((RANDOM % 10))$((RANDOM % 10))"
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        left=$((left + $(find batch -name '.pkgseal-*' | wc -l)))
    done
    damaged_total=$((damaged_total + left))
    printf '%-32s %5d runs: %5d temporary files left\n' "$label" "$rounds" "$left"
}

echo "Killing pkgseal while it signs a package of $(stat -c %s "$original") bytes:"
kill_loop "SIGKILL, written in place" KILL 0 0
kill_loop "SIGKILL, replaced" KILL 1 0
kill_loop "SIGTERM, replaced" TERM 1 0
kill_loop "SIGTERM, named file" TERM 1 1
kill_batch_loop
[ "$damaged_total" = 0 ]
