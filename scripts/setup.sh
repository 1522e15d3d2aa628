#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Does nothing when everything is present; runs one apt-get update first otherwise.
set -euo pipefail
PKGS=(cmake ninja-build g++ ccache make
      qt6-base-dev libqscintilla2-qt6-dev libdxflib-dev
      libgtest-dev libgmock-dev libbenchmark-dev
      python3 python3-pyftpdlib xvfb xauth x11-utils imagemagick poppler-utils
      fonts-liberation xdotool clang libclang-rt-14-dev)
# The line diff of the program comparison (header-only).
PKGS+=(libdtl-dev)
# The Telnet library of the RFC 2217 ports, and a device server for their tests.
PKGS+=(libtelnet-dev ser2net)
# The Debian package and its checks: the desktop entry, the file types, the AppStream data.
PKGS+=(dpkg-dev file lintian man-db desktop-file-utils appstream shared-mime-info libglib2.0-bin)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installerer: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
