#!/bin/sh
# Stands in for a build container's run command: plays pkgseal and openssl well enough for the
# dialog's tests, and logs every call (one line of arguments) to calls.log beside itself.
# Signatures of a package are kept in <package>.sigs. Files beside the script steer it:
#   hold           the next call waits until "release" exists (both are removed afterwards)
#   dump.txt       printed by "pkgseal dump" instead of the package's signatures
#   fail-TOOL-COMMAND  "TOOL COMMAND ..." prints the file's content to standard error and exits
#                  with 1 (fail-pkgseal-sign, fail-openssl-req, ...)
#   prompt         "openssl genpkey ... -aes256" makes its key file, then asks for a pass phrase
#                  and fails without one
PATH=/usr/bin:/bin
here=$(dirname "$0")
printf '%s\n' "$*" >> "$here/calls.log"

if [ -e "$here/fail-$1-$2" ]; then
    cat "$here/fail-$1-$2" >&2
    exit 1
fi

if [ -e "$here/hold" ]; then
    rm -f "$here/hold"
    while [ ! -e "$here/release" ]; do sleep 0.02; done
    rm -f "$here/release"
fi

last_argument() {
    for argument in "$@"; do last=$argument; done
    printf '%s' "$last"
}

option_value() {
    wanted=$1
    shift
    while [ $# -gt 0 ]; do
        if [ "$1" = "$wanted" ]; then
            printf '%s' "$2"
            return
        fi
        shift
    done
}

pkgseal_sign() {
    key=$(option_value -k "$@")
    certificate=$(option_value -c "$@")
    package=$(last_argument "$@")
    {
        echo "Subject: CN=$(basename "$certificate" .pem)"
        echo "Group: $(cat "$certificate")"
        echo "Subgroup: none"
        echo "Key ID: $(basename "$key")"
        echo "Signature: 0123abcd"
    } >> "$package.sigs"
}

pkgseal() {
    command=$1
    shift
    package=$(last_argument "$@")
    case "$command" in
    sign) pkgseal_sign "$@" ;;
    delete) rm -f "$package.sigs" ;;
    verify) [ -s "$package.sigs" ] || { echo "pkgseal: no valid signature" >&2; exit 1; } ;;
    dump)
        if [ -e "$here/dump.txt" ]; then
            cat "$here/dump.txt"
        elif [ -s "$package.sigs" ]; then
            echo "$package:"
            cat "$package.sigs"
        else
            echo "$package: no signatures"
        fi
        ;;
    esac
}

openssl() {
    case "$1" in
    genpkey)
        if [ -e "$here/prompt" ] && [ "$(last_argument "$@")" = "-aes256" ]; then
            : > "$(option_value -out "$@")"
            printf 'Enter PEM pass phrase:'
            IFS= read -r answer || exit 1
            [ -n "$answer" ] || exit 1
        fi
        echo "FAKE KEY" > "$(option_value -out "$@")"
        ;;
    req) cp "$(option_value -config "$@")" "$(option_value -out "$@")" ;;
    esac
}

tool=$1
shift
case "$tool" in
pkgseal) pkgseal "$@" ;;
openssl) openssl "$@" ;;
*) echo "unknown tool $tool" >&2; exit 127 ;;
esac
