#!/bin/sh
# Checks that the Windows registry calls reach the Wine prefix's own registry files: runs the
# os_test program's known-value test, waits for the wine server to write the registry out, then
# looks for the key and value in system.reg (HKEY_LOCAL_MACHINE) and user.reg (HKEY_CURRENT_USER).
# SETUP_WINE_ARCH (win32 by default, as cmake/wine-run) says which build and prefix this is:
# - win32: the test program is 32-bit like the shipped one and runs in a 32-bit prefix, which has a
#   single registry view: the key is written where a 32-bit Windows keeps it, with no Wow6432Node
#   (that node exists only in 64-bit prefixes, for 32-bit programs);
# - win64: the 64-bit build's test program runs in a 64-bit prefix, where a 64-bit program's view
#   of HKEY_LOCAL_MACHINE\Software is the native one: no Wow6432Node either.
# The check first makes sure the prefix is of that architecture, so that it reads the view the
# program writes.
# Usage: wine_registry_check.sh WINE_RUN OS_TEST_EXE
set -u
run="$1"
exe="$2"
arch="${SETUP_WINE_ARCH:-win32}"
case "$arch" in
  win32) bits=32 ;;
  win64) bits=64 ;;
  *) echo "SETUP_WINE_ARCH must be win32 or win64, not \"$arch\"" >&2; exit 1 ;;
esac
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-setup$bits}"
SETUP_REGISTRY_CHECK=1 "$run" "$exe" --gtest_filter=OsRegistryPrefix.WritesTheKnownValue || exit 1

if command -v wineserver >/dev/null 2>&1; then server=wineserver
elif [ -x /usr/lib/wine/wineserver$bits ]; then server=/usr/lib/wine/wineserver$bits
else echo "no wineserver found" >&2; exit 1
fi
"$server" -w

if ! grep -q -x "#arch=$arch" "$WINEPREFIX/system.reg"; then
  echo "$WINEPREFIX is not a $bits-bit ($arch) prefix" >&2
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
    echo "$reg has the key below Wow6432Node: not the $bits-bit program's normal view in a $arch prefix" >&2
    status=1
  fi
done
exit $status
