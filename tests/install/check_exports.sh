#!/usr/bin/env bash
# The library exports its entry points and its public API, and nothing else: every dynamic
# symbol it defines is a Dll* entry point, a member (or the vtable, type information or
# meta-object) of a public class, or one the linker itself defines.
# Usage: check_exports.sh LIBRARY
set -euo pipefail
lib=$1
symbols=$(nm -D --defined-only "$lib" | c++filt | cut -d' ' -f3-)
public='^(Dll(RegisterServer|UnregisterServer|GetClassObject|CanUnloadNow|GetTypeLibrary)$|(non-virtual thunk to |vtable for |typeinfo for |typeinfo name for )?CenterEmployeeWidget(::|$)|_edata$|_end$|__bss_start$)'
stray=$(grep -Ev "$public" <<<"$symbols" || true)
if [ -n "$stray" ]; then
    echo "exported but not public:"
    echo "$stray" | sed 's/^/  /'
    exit 1
fi
for entry in DllRegisterServer DllUnregisterServer DllGetClassObject DllCanUnloadNow \
    'CenterEmployeeWidget::setCenterID(QString const&)' 'CenterEmployeeWidget::staticMetaObject'; do
    grep -qxF "$entry" <<<"$symbols" || { echo "not exported: $entry"; exit 1; }
done
echo "$(wc -l <<<"$symbols") exported symbols, every one public"
