# Sourced by the pkgseal benchmarks: makes their keys and packages in the current folder.

# A throw-away CA (ca.pem) and a developer signer (key.pem, cert.pem) that it issued.
make_signer() {
    openssl req -x509 -newkey rsa:2048 -nodes -keyout ca-key.pem -out ca.pem -days 2 \
        -subj "/CN=Bench CA" -addext "basicConstraints=critical,CA:TRUE" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -keyout key.pem -out signer.csr \
        -subj "/O=Bench/OU=developer/CN=Bench signer" 2>/dev/null
    openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca-key.pem -set_serial 1 -days 2 \
        -out cert.pem 2>/dev/null
}

# build_package NAME BYTES: an uncompressed package with BYTES of random data; prints its path.
build_package() {
    local top=$PWD/rpmbuild-$1
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
