#!/bin/sh
# Checks that the Windows registry calls reach the Wine prefix's own registry files: runs the
# os_test program's known-value test, waits for the wine server to write the registry out, then
# looks for the key and value in system.reg (HKEY_LOCAL_MACHINE) and user.reg (HKEY_CURRENT_USER).
# The test program is 32-bit like the shipped one and runs in a 32-bit (win32) prefix, which has a
# single registry view: the key is written where a 32-bit Windows keeps it, with no Wow6432Node
# (that node exists only in 64-bit prefixes, for 32-bit programs). The check first makes sure the
# prefix is a win32 one, so that it reads the view the shipped program writes.
# Usage: wine_registry_check.sh WINE_RUN OS_TEST_EXE
set -u
run="$1"
exe="$2"
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-setup32}"
SETUP_REGISTRY_CHECK=1 "$run" "$exe" --gtest_filter=OsRegistryPrefix.WritesTheKnownValue || exit 1

if command -v wineserver >/dev/null 2>&1; then server=wineserver
elif [ -x /usr/lib/wine/wineserver32 ]; then server=/usr/lib/wine/wineserver32
else echo "no wineserver found" >&2; exit 1
fi
"$server" -w

if ! grep -q -x '#arch=win32' "$WINEPREFIX/system.reg"; then
  echo "$WINEPREFIX is not a 32-bit (win32) prefix" >&2
  exit 1
fi
status=0
for file in system.reg user.reg; do
  reg="$WINEPREFIX/$file"
  # The prefix files double every backslash of a key name.
  if ! grep -A3 -F '[Software\\SetupOsTestPrefix\\Check]' "$reg" | grep -q -F '"Known"="written through the prefix"'; then
    echo "key or value missing from $reg" >&2
    status=1
  fi
  if grep -q -i -F 'Wow6432Node\\SetupOsTestPrefix' "$reg"; then
    echo "$reg has the key below Wow6432Node: not the 32-bit program's normal view" >&2
    status=1
  fi
done
exit $status
