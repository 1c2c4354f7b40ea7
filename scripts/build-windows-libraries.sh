#!/usr/bin/env bash
# Builds, once, the libraries the Windows build links that Debian does not
# package for Windows, into build/windows-deps: libopus from Debian's own
# source package and GoogleTest from /usr/src/googletest, both with the
# mingw-w64 cross compiler. Run by scripts/install-deps.sh --windows.
set -euo pipefail
cd "$(dirname "$0")/.."
deps=$PWD/build/windows-deps
toolchain=$PWD/cmake/mingw-w64-x86_64.cmake
sudo_cmd=()
[[ $(id -u) -eq 0 ]] || sudo_cmd=(sudo)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"  # apt fetches sources as its own user

# apt-get source needs source entries for the archive apt already uses.
add_source_entries() {
  grep -rqs '^deb-src\|^Types:.*deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/ && return
  if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/marvok-deb-src.sources >/dev/null
  else
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list |
      "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/marvok-deb-src.list >/dev/null
  fi
  "${sudo_cmd[@]}" apt-get update -qq
}

if [[ ! -f $deps/lib/libopus.a ]]; then
  echo "Building libopus for Windows"
  add_source_entries
  (cd "$work" && apt-get source -qq opus >/dev/null 2>&1)
  source_dir=$(find "$work" -maxdepth 1 -type d -name 'opus-*' | head -n 1)
  (cd "$source_dir" &&
    ./configure -q --host=x86_64-w64-mingw32 CC=x86_64-w64-mingw32-gcc-posix --prefix="$deps" \
      --disable-shared --enable-static --disable-doc --disable-extra-programs --disable-stack-protector &&
    make -s -j"$(nproc)" >/dev/null && make -s install >/dev/null)
fi

if [[ ! -f $deps/lib/libgtest.a ]]; then
  echo "Building GoogleTest for Windows"
  cmake -S /usr/src/googletest -B "$work/googletest" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$deps" >/dev/null
  cmake --build "$work/googletest" >/dev/null
  cmake --install "$work/googletest" >/dev/null
fi
