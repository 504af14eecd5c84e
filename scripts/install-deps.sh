#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build and the tests need on a bare Debian 12 machine (as root). Packages
# already present are skipped, so a second run costs nothing.
#   scripts/install-deps.sh                everything (scripts/test.sh, the Windows demo)
#   scripts/install-deps.sh --linux-demo   only what the Linux demo builds and runs with
set -euo pipefail
packages=(
  build-essential cmake ninja-build python3 git   # the native build
  googletest                                      # GoogleTest sources, built by both presets
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64  # the Windows cross build
  wine wine64 fonts-wine xvfb x11-apps            # running and seeing the Windows program
  libssl-dev                                      # OpenSSL's MD5 inside the simulated device
  iproute2 util-linux procps                      # private network namespaces for the tests
  curl atftp tftpd-hpa                            # real TFTP peers
  clang-format
  clang libclang-rt-14-dev                        # libFuzzer and the sanitizers' runtimes (hardening)
    libgtk-3-dev pkg-config librsvg2-common         # the Linux program (GTK 3; SVG icon loader)
  libcli11-dev                                    # the command-line program's option parsing
  gettext                                         # the Linux programs' translations (po/)
  xdotool imagemagick                             # its window tests: keys, screenshots
  at-spi2-core python3-pyatspi dbus-daemon        # its accessibility test, read over AT-SPI
  dpkg-dev binutils man-db libcap2-bin            # its package: dpkg-shlibdeps, nm, man, getcap
  lintian desktop-file-utils appstream            # the package's checks
  diffoscope-minimal                              # names what differs between two builds
  shared-mime-info libglib2.0-bin                 # its firmware file type, named by gio
)
if [ "${1:-}" = --linux-demo ]; then
  packages=(
    build-essential cmake ninja-build python3 git googletest # the native preset
    libssl-dev iproute2 util-linux procps                    # the simulated device, its namespace
    libgtk-3-dev pkg-config librsvg2-common libcli11-dev     # the Linux programs
    gettext                                                  # their translations
    xvfb xdotool imagemagick                                 # a display without one, screenshots
  )
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps.sh: missing ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # tftpd-hpa's package would start a system-wide server; the tests start their own.
  own_policy=0
  if [ ! -e /usr/sbin/policy-rc.d ]; then
    printf "#!/bin/sh\nexit 101\n" > /usr/sbin/policy-rc.d && chmod +x /usr/sbin/policy-rc.d && own_policy=1
  fi
  apt-get install -y -qq "${missing[@]}" >/dev/null
  [ "$own_policy" = 1 ] && rm -f /usr/sbin/policy-rc.d || true
fi
