#!/bin/sh
# Installs the Debian 12 packages a task needs, when they are missing.
#   tools/install-deps.sh build|bench|fuzz ...
# Non-interactive; goes through sudo when not run as root.
set -eu

build="cmake ninja-build g++ pkg-config make
qt6-base-dev libqt6sql6-sqlite libqt6sql6-odbc libgl-dev
zlib1g-dev libhpdf-dev libxlsxwriter-dev libcups2-dev
unixodbc unixodbc-dev libsqliteodbc
libgtest-dev libgmock-dev
poppler-utils python3 python3-pil python3-openpyxl
fonts-liberation2 fonts-ocr-b"
bench="$build libbenchmark-dev enscript ghostscript lz4 valgrind"
fuzz="$build clang libclang-rt-14-dev"

wanted=""
for group in "$@"; do
    case "$group" in
        build) wanted="$wanted $build" ;;
        bench) wanted="$wanted $bench" ;;
        fuzz) wanted="$wanted $fuzz" ;;
        *) echo "install-deps: unknown group '$group'" >&2; exit 2 ;;
    esac
done

missing=""
for pkg in $wanted; do
    case " $missing " in *" $pkg "*) continue ;; esac
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = "installed" ] || missing="$missing $pkg"
done
[ -n "$missing" ] || exit 0

echo "Installing missing Debian packages:$missing"
if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo -n"
else
    echo "install-deps: not root and no sudo; install these packages:$missing" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
$as_root apt-get update -q </dev/null
# shellcheck disable=SC2086
$as_root apt-get install -y -q --no-install-recommends $missing </dev/null
