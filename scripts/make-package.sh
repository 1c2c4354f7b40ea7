#!/usr/bin/env bash
# Builds the Debian package in build/package and checks it: lintian, then the
# files it would install, unpacked into a throwaway folder, with the servers'
# systemd units. Ends non-zero when lintian reports an error, a file is missing
# or has the wrong mode, or a unit does not verify or is too exposed.
set -euo pipefail
cd "$(dirname "$0")/.."
umask 022  # the package's folders and files take the modes they are built with

./scripts/install-deps.sh --with-packaging

build=build/package
# Debian's optimisation and hardening flags replace Release's own -O3 (with
# which GCC 12 warns falsely about std::string); the changelog is dated from
# the last commit.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxx_flags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
linker_flags=$(dpkg-buildflags --get LDFLAGS)
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DMARVOK_BUILD_TESTS=OFF \
  -DMARVOK_WARNINGS_AS_ERRORS=ON \
  -DMARVOK_WEB_CA_FILE=/etc/marvok/web/ca.pem \
  "-DCMAKE_CXX_FLAGS=$cxx_flags" \
  -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  "-DCMAKE_EXE_LINKER_FLAGS=$linker_flags" >/dev/null
# Without the tests, the default target is what the package holds: the
# programs, their libraries, the resources and the documents.
cmake --build "$build"
(cd "$build" && cpack -G DEB >/dev/null)

version=$(sed -n 's/^project(marvok VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=$PWD/$build/marvok_${version}_$(dpkg --print-architecture).deb
[[ -f $package ]] || { echo "make-package: no package at $package" >&2; exit 1; }

status=0
echo "== lintian"
lintian --display-info "$package" | tee "$build/lintian.txt" || true
if grep -q '^E:' "$build/lintian.txt"; then status=1; fi

echo "== contents"
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root"
problem() {
  echo "make-package: $*" >&2
  status=1
}
for program in marvok marvok-relay marvok-web; do
  [[ -x $root/usr/bin/$program ]] || problem "usr/bin/$program is missing"
done
for program in "$root"/usr/bin/*; do
  name=$(basename "$program")
  [[ -f $root/usr/share/man/man1/$name.1.gz ]] || problem "no man page for $name"
done
for file in usr/share/doc/marvok/copyright usr/share/doc/marvok/changelog.gz usr/share/applications/marvok.desktop \
  usr/share/icons/hicolor/64x64/apps/marvok.png usr/share/icons/hicolor/256x256/apps/marvok.png \
  usr/share/marvok/make-web-certificate.sh usr/share/marvok/chimes.wav \
  usr/lib/systemd/system/marvok-relay.service usr/lib/systemd/system/marvok-web.service \
  etc/default/marvok-relay etc/default/marvok-web; do
  [[ -f $root/$file ]] || problem "$file is missing"
done
# Folders and programs 0755, every other file 0644.
while read -r mode path; do
  case $path in
    ./usr/bin/* | ./usr/share/marvok/*.sh) expected=755 ;;
    *) expected=644 ;;
  esac
  [[ -d $root/$path ]] && expected=755
  [[ $mode == "$expected" ]] || problem "$path has mode $mode, not $expected"
done < <(cd "$root" && find . -mindepth 1 -printf '%m %p\n')
grep -qx "Path=/usr/share/marvok" "$root/usr/share/applications/marvok.desktop" ||
  problem "the desktop entry does not start the client in /usr/share/marvok"
desktop-file-validate "$root/usr/share/applications/marvok.desktop" || status=1
for program in marvok-relay marvok-web; do
  "$root/usr/bin/$program" --help >/dev/null || problem "usr/bin/$program --help fails"
done
(cd "$root" && find . -type f | sort | sed 's|^\.||')

echo "== systemd units"
scripts/check-units.sh "$root" || status=1

# The maintainer scripts, with their paths moved into the throwaway root.
echo "== maintainer scripts"
dpkg-deb -e "$package" "$root/DEBIAN"
for script in postinst prerm postrm; do
  sed "s|/etc/|$root/etc/|g; s|/usr/share/|$root/usr/share/|g; s|/var/lib/|$root/var/lib/|g" \
    "$root/DEBIAN/$script" >"$root/$script"
done
sh -e "$root/postinst" configure
web=$root/etc/marvok/web
openssl verify -CAfile "$web/ca.pem" -verify_hostname localhost "$web/server.pem" || status=1
[[ $(stat -c %a "$web/server.key") == 600 ]] || problem "the service's key is not readable by root only"
[[ ! -e $web/ca.key ]] || problem "the authority's key was kept"
[[ -d $root/var/lib/marvok ]] || problem "no folder for the members' database"
sh -e "$root/postinst" configure # again: keeps what is there
# What systemd leaves of a server that ran under its dynamic user and was
# enabled: its state under private/, the link to it, the operator's enabling.
mkdir -p "$root/var/lib/private/marvok-web" "$root/etc/systemd/system/multi-user.target.wants"
touch "$root/var/lib/private/marvok-web/members.sqlite"
ln -s private/marvok-web "$root/var/lib/marvok-web"
ln -s /usr/lib/systemd/system/marvok-relay.service "$root/etc/systemd/system/multi-user.target.wants/"
sh -e "$root/prerm" remove
sh -e "$root/postrm" remove
sh -e "$root/postrm" purge
[[ ! -e $root/etc/marvok && ! -e $root/var/lib/marvok ]] || problem "purge left /etc/marvok or /var/lib/marvok"
for left in var/lib/private/marvok-web var/lib/marvok-web etc/systemd/system/multi-user.target.wants/marvok-relay.service; do
  [[ ! -e $root/$left && ! -L $root/$left ]] || problem "purge left /$left"
done

echo "== package"
dpkg-deb --field "$package" Package Version Architecture Depends Recommends
echo "$package ($(du -k "$package" | cut -f1) KiB, $(dpkg-deb --field "$package" Installed-Size) KiB installed)"
exit "$status"
