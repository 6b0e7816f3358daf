#!/usr/bin/env bash
# Fails when a core or platform-interface file includes Qt or X11 headers, or when a backend folder
# includes a header of a layer that is not below it: Qt/ stands on the core; XEmbed/, StatusNotifier/ and
# GnomeShell/ stand on Qt/ and never include each other; Desktop/ chooses between them; Headless/ stands
# alone. Also fails when a front end holds a bus connection other than Qt/'s NonBlockingBus.
set -u
root=$1
status=0
mapfile -t files < <(
  find "$root" -maxdepth 1 \( -name '*.cpp' -o -name '*.h' \) ! -name 'AppDelegate.*' ! -name main.cpp
  find "$root/Support" "$root/Platform" -name '*.cpp' -o -name '*.h')
hits=$(grep -nE '^\s*#\s*include\s*[<"](Q[A-Za-z]*|xcb/|X11/|qt)' "${files[@]}")
if [ -n "$hits" ]; then
  echo "core files include display headers:"; echo "$hits"; status=1
fi
echo "core is display-free (${#files[@]} files checked)"

# allowed FOLDER LAYERS...: the backend folders FOLDER's files may include.
allowed() {
  local folder=$1 pattern hits
  shift
  pattern=$(printf '|%s' "$@")
  hits=$(grep -nE --directories=skip '^\s*#\s*include\s*"Backends/' "$root/Backends/$folder"/* |
    grep -vE "\"Backends/(BackendLayer.h|(${pattern:1})/)")
  if [ -n "$hits" ]; then
    echo "Backends/$folder includes a layer it does not stand on:"; echo "$hits"; status=1
  fi
}
allowed Headless Headless
allowed Qt Qt
allowed XEmbed XEmbed Qt
allowed StatusNotifier StatusNotifier Qt
allowed GnomeShell GnomeShell Qt
allowed Desktop Desktop XEmbed StatusNotifier GnomeShell Qt
# The front ends reach the session bus only through NonBlockingBus: a QDBusConnection of their own offers
# calls that wait on the bus daemon.
hits=$(grep -nE --directories=skip 'QDBus(Connection|Interface|Reply)\b' "$root"/Backends/{XEmbed,StatusNotifier,GnomeShell,Desktop}/* |
  grep -vE '^[^:]+:[0-9]+:\s*//')
if [ -n "$hits" ]; then
  echo "a front end uses a bus connection that can wait:"; echo "$hits"; status=1
fi
[ "$status" -eq 0 ] && echo "every backend folder includes only itself and the layers below it"
exit "$status"
