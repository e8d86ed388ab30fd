#!/usr/bin/env bash
# The server as a service, installed as a package for /usr installs it: the systemd unit (which
# systemd-analyze verify finds clean against this system's units), its system user, and the
# configuration file, which the installed server reads.
# Usage: check_service.sh BUILD_DIR
set -euo pipefail
build=$1
tmp=$(mktemp -d /tmp/centeremp-service.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
root=$tmp/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$tmp/install.log" || { cat "$tmp/install.log"; exit 1; }
unit=$root/usr/lib/systemd/system/centeremp-server.service
config=$root/etc/tarvocenteremp/server.conf
for f in "$unit" "$root/usr/lib/sysusers.d/tarvocenteremp.conf" "$config"; do
    [ -f "$f" ] || { echo "not installed: ${f#"$root"}"; exit 1; }
done
for line in 'ExecStart=/usr/bin/centeremp-server --config /etc/tarvocenteremp/server.conf' \
    Type=notify User=tarvocenteremp ProtectSystem=strict StateDirectory=tarvocenteremp CapabilityBoundingSet=; do
    grep -qxF "$line" "$unit" || { echo "the unit lacks $line"; exit 1; }
done
grep -q '^u tarvocenteremp ' "$root/usr/lib/sysusers.d/tarvocenteremp.conf" || { echo "no system user"; exit 1; }

# The targets and services the unit names come from this system.
cp -an /usr/lib/systemd/system/. "$root/usr/lib/systemd/system/"
out=$(systemd-analyze verify --root="$root" centeremp-server.service 2>&1) || { echo "$out"; exit 1; }
[ -z "$out" ] || { echo "systemd-analyze verify is not clean:"; echo "$out"; exit 1; }

# The shipped configuration is one the server reads; the command line's --db overrides it.
"$root/usr/bin/centeremp-server" --config "$config" --db "$tmp/check.sqlite" migrate >"$tmp/migrate.out"
grep -q "the schema went from version 0 to" "$tmp/migrate.out" || { cat "$tmp/migrate.out"; exit 1; }
echo "centeremp-server.service: verified clean; configuration read"
