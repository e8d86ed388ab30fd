#!/usr/bin/env bash
# The Debian packages as ./dev package makes them: five packages and their debug symbols, at the
# project's version; each holds its part (library; headers, CMake, pkg-config and API docs;
# Designer plugin; host; server) with its copyright and changelog; binaries stripped, their
# debug symbols in the -dbgsym packages; the library's ldconfig trigger; the dependencies on
# the libraries they link and on what they load at run time; and lintian finds no error and
# no warning (the overrides in debian/ say why for each they keep). Then the packages, unpacked
# into a root of their own, serve the embedding checks (run_embed_check.sh): the example and
# the checks built against them alone, driven against the packaged server.
# Usage: check_package.sh PACKAGE_DIR
set -euo pipefail
dir=$1
top=$(cd "$(dirname "$0")/../.." && pwd)
version=$(sed -n 's/^project(TarvoCenterEmp VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
arch=$(dpkg --print-architecture)
multiarch=$(gcc -print-multiarch)
tmp=$(mktemp -d /tmp/centeremp-deb.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
failed=0
fail() { echo "$*"; failed=1; }

declare -A holds=(
  [libtarvocenteremp1]="usr/lib/$multiarch/libTarvoCenterEmp.so.$version usr/lib/$multiarch/libTarvoCenterEmp.so.1
                        usr/share/tarvocenteremp/translations/tarvocenteremp_de.qm
                        usr/share/qlogging-categories6/tarvocenteremp.categories"
  [libtarvocenteremp-dev]="usr/include/TarvoCenterEmp/CenterEmployeeWidget usr/include/TarvoCenterEmp/centeremployeewidget.h
                           usr/include/TarvoCenterEmp/tarvocenteremp_version.h usr/lib/$multiarch/libTarvoCenterEmp.so
                           usr/lib/$multiarch/cmake/TarvoCenterEmp/TarvoCenterEmpConfig.cmake
                           usr/lib/$multiarch/pkgconfig/TarvoCenterEmp.pc usr/share/qt6/doc/tarvocenteremp.qch
                           usr/share/qt6/doc/tarvocenteremp.tags usr/share/doc/libtarvocenteremp-dev/embedding.md.gz"
  [tarvocenteremp-designer-plugin]="usr/lib/$multiarch/qt6/plugins/designer/libtarvocenteremp_designer.so"
  [centeremp-host]="usr/bin/centeremp-host usr/share/man/man1/centeremp-host.1.gz"
  [centeremp-server]="usr/bin/centeremp-server usr/share/man/man1/centeremp-server.1.gz
                     usr/lib/systemd/system/centeremp-server.service usr/lib/sysusers.d/tarvocenteremp.conf
                     etc/tarvocenteremp/server.conf"
)
declare -A depends=(
  [libtarvocenteremp1]="libqt6widgets6 libcurl4 libexpat1"
  [libtarvocenteremp-dev]="libtarvocenteremp1 qt6-base-dev"
  [tarvocenteremp-designer-plugin]="libtarvocenteremp1"
  [centeremp-host]="libtarvocenteremp1 libqt6widgets6"
  [centeremp-server]="libmicrohttpd12 libpq5 libsodium23 libqt6sql6-sqlite"
)
for package in "${!holds[@]}"; do
  deb=$dir/${package}_${version}_$arch.deb
  [ -f "$deb" ] || { fail "no package $package at version $version"; continue; }
  root=$tmp/$package
  dpkg-deb -x "$deb" "$root"
  for f in ${holds[$package]} "usr/share/doc/$package/copyright" "usr/share/doc/$package/changelog.gz"; do
    [ -e "$root/$f" ] || [ -L "$root/$f" ] || fail "$package does not hold /$f"
  done
  deps=$(dpkg-deb -f "$deb" Depends)
  for d in ${depends[$package]}; do
    grep -Eq "(^|, )$d( |,|$)" <<<"$deps" || fail "$package does not depend on $d: $deps"
  done
  # Stripped, with the debug symbols of each binary in the -dbgsym package.
  while IFS= read -r elf; do
    readelf -S "$elf" | grep -q '\.debug_info' && fail "$package: ${elf#"$root"} is not stripped"
    id=$(readelf -n "$elf" | sed -n 's/.*Build ID: \([0-9a-f]*\)/\1/p')
    grep -q "usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" <<<"$(dpkg-deb -c "$dir/${package}-dbgsym_${version}_$arch.deb")" \
      || fail "$package: no debug symbols for ${elf#"$root"}"
  done < <(find "$root" -type f -exec sh -c 'file -b "$1" | grep -q "^ELF"' _ {} \; -print)
done
dpkg-deb -e "$dir/libtarvocenteremp1_${version}_$arch.deb" "$tmp/control"
grep -qx 'activate-noawait ldconfig' "$tmp/control/triggers" 2>/dev/null || fail "libtarvocenteremp1 has no ldconfig trigger"
grep -q "libTarvoCenterEmp 1 libtarvocenteremp1" "$tmp/control/shlibs" 2>/dev/null || fail "libtarvocenteremp1 has no shlibs"
# The server's configuration is the administrator's once installed; its user is made on
# installation; the service is left for the administrator to enable.
dpkg-deb -e "$dir/centeremp-server_${version}_$arch.deb" "$tmp/server-control"
grep -qx /etc/tarvocenteremp/server.conf "$tmp/server-control/conffiles" 2>/dev/null || fail "server.conf is no conffile"
grep -q 'systemd-sysusers tarvocenteremp.conf' "$tmp/server-control/postinst" 2>/dev/null \
  || fail "centeremp-server's postinst does not make the service's user"
grep -q 'deb-systemd-helper enable' "$tmp/server-control/postinst" && fail "centeremp-server enables its service on installation"
# The pkg-config file names the prefix, not a path relative to itself.
grep -qx 'prefix=/usr' "$tmp/libtarvocenteremp-dev/usr/lib/$multiarch/pkgconfig/TarvoCenterEmp.pc" || fail "the .pc file's prefix is not /usr"

lintian --fail-on error,warning "$dir"/*.deb >"$tmp/lintian.log" 2>&1 || { cat "$tmp/lintian.log"; fail "lintian finds errors or warnings"; }
[ "$failed" -eq 0 ] || exit 1
echo "$(ls "$dir"/*.deb | wc -l) packages at $version: every part in its place, stripped, lintian clean"

for package in "${!holds[@]}"; do dpkg-deb -x "$dir/${package}_${version}_$arch.deb" "$tmp/root"; done
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} bash "$top/tests/install/run_embed_check.sh" "$tmp/root/usr" "$top" \
    "$tmp/root/usr/share/doc/libtarvocenteremp-dev/examples/embed" "$tmp"
