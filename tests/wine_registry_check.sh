#!/bin/sh
# Checks that the Windows registry calls reach the Wine prefix's own registry files: runs the
# os_test program's known-value test, waits for the wine server to write the registry out, then
# looks for the key and value in system.reg (HKEY_LOCAL_MACHINE) and user.reg (HKEY_CURRENT_USER).
# The test program is 64-bit, so it writes the normal registry view; a 32-bit program in a 64-bit
# prefix would land below Software\Wow6432Node instead.
# Usage: wine_registry_check.sh WINE_RUN OS_TEST_EXE
set -u
run="$1"
exe="$2"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-setup}"
SETUP_REGISTRY_CHECK=1 "$run" "$exe" --gtest_filter=OsRegistryPrefix.WritesTheKnownValue || exit 1

if command -v wineserver >/dev/null 2>&1; then server=wineserver
elif [ -x /usr/lib/wine/wineserver64 ]; then server=/usr/lib/wine/wineserver64
else echo "no wineserver found" >&2; exit 1
fi
"$server" -w

status=0
for file in system.reg user.reg; do
  reg="$WINEPREFIX/$file"
  # The prefix files double every backslash of a key name.
  if ! grep -A3 -F '[Software\\SetupOsTestPrefix\\Check]' "$reg" | grep -q -F '"Known"="written through the prefix"'; then
    echo "key or value missing from $reg" >&2
    status=1
  fi
done
exit $status
