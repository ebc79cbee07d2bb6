#!/usr/bin/env bash
# Measures pkgseal against rpmsign --addsign (with a throw-away GnuPG key) on the same packages:
# one 1 GiB package, 500 small packages in one call, and pkgseal's peak memory.
# Needs rpm (rpmbuild, rpmsign), gnupg, openssl, and GNU time (Debian: rpm gnupg openssl time).
# The wall times depend on the load of the machine; the CPU times much less.
# Usage: bench/pkgseal/run-benchmarks.sh BUILD_DIR [WORK_DIR]
set -euo pipefail

build_dir=$(realpath "${1:?Usage: $0 BUILD_DIR [WORK_DIR]}")
work_dir=${2:-$(mktemp -d "${TMPDIR:-/tmp}/pkgseal-bench.XXXXXX")}
pkgseal=$build_dir/bin/pkgseal
mkdir -p "$work_dir"
cd "$work_dir"
echo "Working in $work_dir"

measure() { # label, command...: prints wall time, CPU time and peak memory of the command
    local label=$1
    shift
    /usr/bin/time -f "%e %U %S %M" -o time.out "$@" >/dev/null 2>>commands.log
    read -r seconds user system kib <time.out
    printf '%-24s %8.2f s wall %8.2f s CPU %8d KiB peak RSS\n' "$label" "$seconds" \
        "$(awk "BEGIN { print $user + $system }")" "$kib"
}

build_package() { # name, payload bytes
    local top=$work_dir/rpmbuild-$1
    mkdir -p "$top/SPECS"
    cat >"$top/SPECS/$1.spec" <<END
Name: $1
Version: 1.0
Release: 1
Summary: Benchmark package
License: MIT
BuildArch: noarch
%description
Benchmark package.
%install
mkdir -p %{buildroot}/usr/share/$1
head -c $2 /dev/urandom > %{buildroot}/usr/share/$1/data
%files
/usr/share/$1/data
END
    rpmbuild -bb --quiet --define "_topdir $top" --define "_binary_payload w0.ufdio" \
        "$top/SPECS/$1.spec" >/dev/null 2>&1
    echo "$top/RPMS/noarch/$1-1.0-1.noarch.rpm"
}

echo "Making keys..."
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca-key.pem -out ca.pem -days 2 \
    -subj "/CN=Bench CA" -addext "basicConstraints=critical,CA:TRUE" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout key.pem -out signer.csr \
    -subj "/O=Bench/OU=developer/CN=Bench signer" 2>/dev/null
openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca-key.pem -set_serial 1 -days 2 \
    -out cert.pem 2>/dev/null
export GNUPGHOME=$work_dir/gnupg
mkdir -p -m 700 "$GNUPGHOME"
gpg --batch --quiet --passphrase '' --quick-gen-key "Bench <bench@example.invalid>" rsa2048 sign never
rpmsign_args=(--define "_gpg_name Bench <bench@example.invalid>" --define "__gpg $(command -v gpg)")

echo "Building packages..."
big=$(build_package bench-big $((1024 * 1024 * 1024)))
small=$(build_package bench-small 20000)
mkdir -p small-pkgseal small-rpmsign
for i in $(seq 1 500); do
    cp "$small" "small-pkgseal/p$i.rpm"
    cp "$small" "small-rpmsign/p$i.rpm"
done

echo
echo "One package of $(stat -c %s "$big") bytes"
cp "$big" big-pkgseal.rpm
cp "$big" big-rpmsign.rpm
measure "pkgseal sign" "$pkgseal" sign -k key.pem -c cert.pem big-pkgseal.rpm
measure "rpmsign --addsign" rpmsign --addsign "${rpmsign_args[@]}" big-rpmsign.rpm
measure "openssl dgst -sha256" openssl dgst -sha256 "$big"
measure "cp" cp "$big" big-copy.rpm
measure "sync (after cp)" sync
measure "pkgseal verify" "$pkgseal" verify --root-cert ca.pem big-pkgseal.rpm
measure "pkgseal delete" "$pkgseal" delete big-pkgseal.rpm
rm -f big-pkgseal.rpm big-rpmsign.rpm big-copy.rpm

echo
echo "500 packages of $(stat -c %s "$small") bytes in one call"
measure "pkgseal sign" "$pkgseal" sign -k key.pem -c cert.pem small-pkgseal/*.rpm
measure "rpmsign --addsign" rpmsign --addsign "${rpmsign_args[@]}" small-rpmsign/*.rpm
measure "pkgseal verify" "$pkgseal" verify --root-cert ca.pem small-pkgseal/*.rpm
measure "pkgseal dump" "$pkgseal" dump small-pkgseal/*.rpm
