#!/bin/sh
# A shipped Windows program carries its manifest (execution level, supported systems, DPI
# awareness) and its version information.
# Usage: resources_check.sh PROGRAM.exe LEVEL DESCRIPTION
exe=$1 level=$2 description=$3
fail() { echo "resources_check: $exe: $*"; exit 1; }
grep -a -q "requestedExecutionLevel level=\"$level\"" "$exe" || fail "no manifest asking for $level"
grep -a -q '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>' "$exe" || fail "not DPI aware"
grep -a -q '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' "$exe" || fail "current systems not declared"
# The version strings are UTF-16.
strings -el "$exe" | grep -q '^FileDescription$' || fail "no version information"
strings -el "$exe" | grep -q "^$description\$" || fail "no description \"$description\""
strings -el "$exe" | grep -q '^1\.0\.0\.0$' || fail "no version number"
echo "resources_check: $exe: manifest ($level, DPI aware) and version information present"
