#!/usr/bin/env bash
# Fails when a core or platform-interface file includes Qt or X11 headers.
set -u
root=$1
files=$(find "$root" -maxdepth 1 -name '*.cpp' -o -maxdepth 1 -name '*.h' | grep -v -e AppDelegate -e main.cpp)
files="$files $(find "$root/Support" "$root/Platform" -name '*.cpp' -o -name '*.h')"
hits=$(grep -nE '^\s*#\s*include\s*[<"](Q[A-Za-z]*|xcb/|X11/|qt)' $files)
if [ -n "$hits" ]; then
  echo "core files include display headers:"; echo "$hits"; exit 1
fi
echo "core is display-free ($(echo $files | wc -w) files checked)"
