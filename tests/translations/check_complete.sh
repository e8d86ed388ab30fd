#!/usr/bin/env bash
# Every operator text in the sources has its German translation: the German .ts, brought up to
# date with the sources in a copy, has nothing unfinished and nothing obsolete.
# Usage: check_complete.sh LUPDATE LRELEASE SOURCE_DIR
set -euo pipefail
lupdate=$1 lrelease=$2 src=$3
tmp=$(mktemp -d /tmp/centeremp-ts.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
cp "$src/translations/tarvocenteremp_de.ts" "$tmp/de.ts"
"$lupdate" -silent -locations none "$src/src" -ts "$tmp/de.ts" >"$tmp/lupdate.log" 2>&1 || { cat "$tmp/lupdate.log"; exit 1; }
summary=$("$lrelease" "$tmp/de.ts" -qm "$tmp/de.qm" | grep -E 'Generated|Ignored|Dropped' || true)
echo "$summary"
grep -q 'Generated [0-9]* translation(s) ([0-9]* finished and 0 unfinished)' <<<"$summary" || exit 1
if grep -q 'type="vanished"\|type="obsolete"' "$tmp/de.ts"; then
    echo "texts no longer in the sources:"; grep -B1 'type="vanished"\|type="obsolete"' "$tmp/de.ts" | grep '<source>'
    exit 1
fi
