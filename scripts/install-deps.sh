#!/usr/bin/env bash
# Installs the Debian 12 packages Marvok needs to build, run and test, when
# some are missing. Safe to run again: it installs nothing when all are there.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config iproute2 util-linux python3
  qt6-base-dev qt6-serialport-dev libgl-dev
  libpulse-dev pulseaudio pulseaudio-utils
  libopus-dev libcurl4-openssl-dev libssl-dev libsqlite3-dev libcpp-httplib-dev libmicrohttpd-dev openssl
  libgtest-dev
  # The web service's PostgreSQL engine; its tests start a server of their own.
  postgresql libpq-dev
  xvfb xauth xdotool imagemagick x11-utils
  fonts-liberation
  espeak-ng libespeak-ng-dev sox libx11-dev dbus-daemon
  # systemd-analyze checks the servers' units, man their Documentation= pages.
  systemd man-db
  # nft checks the relay gateway's rules.
  nftables
)
case "${1:-}" in
  --with-fuzzing) packages+=(clang libclang-rt-14-dev) ;;
  # The Debian package: dpkg-shlibdeps finds its library dependencies, lintian
  # and desktop-file-validate check it.
  --with-packaging) packages+=(dpkg-dev lintian desktop-file-utils) ;;
  # The Windows build: the cross compiler, Wine to run its tests, NSIS for
  # its installer, and dpkg-dev to fetch libopus's source.
  --windows) packages+=(g++-mingw-w64-x86-64-posix wine wine64 nsis dpkg-dev) ;;
esac

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
windows_libraries() {
  [[ "${1:-}" != --windows ]] || "$(dirname "$0")/build-windows-libraries.sh"
}
if [[ ${#missing[@]} -eq 0 ]]; then
  windows_libraries "${1:-}"
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
windows_libraries "${1:-}"
