#!/usr/bin/env bash
# The Debian package holds what a developer embedding the control needs and what an operator
# runs: library, headers, CMake package, pkg-config file, Designer plugin, the two programs,
# the documentation; and it depends on the libraries they link and the SQLite driver they load.
# Usage: check_package.sh PACKAGE.deb
set -euo pipefail
deb=$1
tmp=$(mktemp -d /tmp/centeremp-deb.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"
arch=$(gcc -print-multiarch)
lib=usr/lib/$arch
missing=0
for f in usr/include/TarvoCenterEmp/centeremployeewidget.h usr/include/TarvoCenterEmp/tarvocenteremp_export.h \
    "$lib/libTarvoCenterEmp.so.1.0.6" "$lib/libTarvoCenterEmp.so.1" "$lib/libTarvoCenterEmp.so" \
    "$lib/cmake/TarvoCenterEmp/TarvoCenterEmpConfig.cmake" "$lib/cmake/TarvoCenterEmp/TarvoCenterEmpConfigVersion.cmake" \
    "$lib/cmake/TarvoCenterEmp/TarvoCenterEmpTargets.cmake" "$lib/pkgconfig/TarvoCenterEmp.pc" \
    "$lib/qt6/plugins/designer/libtarvocenteremp_designer.so" usr/bin/centeremp-host usr/bin/centeremp-server \
    usr/share/doc/tarvocenteremp/embedding.md usr/share/doc/tarvocenteremp/examples/embed/main.cpp \
    usr/lib/systemd/system/centeremp-server.service usr/lib/sysusers.d/tarvocenteremp.conf \
    etc/tarvocenteremp/server.conf; do
    [ -e "$tmp/$f" ] || { echo "not in the package: /$f"; missing=1; }
done
depends=$(dpkg-deb -f "$deb" Depends)
for d in libqt6widgets6 libqt6sql6 libcurl4 libexpat1 libmicrohttpd12 libpq5 libqt6sql6-sqlite; do
    grep -Eq "(^|, )$d( |,|$)" <<<"$depends" || { echo "the package does not depend on $d: $depends"; missing=1; }
done
[ "$(dpkg-deb -f "$deb" Package Version Architecture | tr '\n' ' ')" = "Package: tarvocenteremp Version: 1.0.6 Architecture: amd64 " ] \
    || { echo "wrong name, version or architecture:"; dpkg-deb -f "$deb" Package Version Architecture; missing=1; }
[ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || { echo "no maintainer"; missing=1; }
dpkg-deb -e "$deb" "$tmp/DEBIAN"
grep -qx /etc/tarvocenteremp/server.conf "$tmp/DEBIAN/conffiles" || { echo "server.conf is no conffile"; missing=1; }
[ "$missing" -eq 0 ] && echo "$(basename "$deb"): $(find "$tmp" -type f | wc -l) files; depends on $depends"
exit "$missing"
