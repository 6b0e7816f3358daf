#!/usr/bin/env bash
# Installs every Debian 12 package the build, the tests, the benchmarks, the end-to-end harness and the
# Debian package (cpack computes its dependencies with dpkg-shlibdeps and file; its test checks the
# autostart entry and the user unit with desktop-file-validate and systemd-analyze, the package with
# lintian, the manual pages with mandoc, which also writes the programs' --help) need.
# Idempotent: packages already present are not fetched again, and the package lists are refreshed once.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config clang clang-format libclang-rt-14-dev dpkg-dev file dbus-daemon
  qt6-base-dev libdbus-1-dev libxcb1-dev libxcb-icccm4-dev libgl-dev
  nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth trayer icewm fluxbox xdotool x11-utils imagemagick fonts-dejavu-core locales-all python3
  desktop-file-utils systemd lintian mandoc x11-xserver-utils dbus-bin
  # GNOME Shell 43 for the shell extension's test, the AppIndicator extension beside it, gsettings and gdbus,
  # and Python's GObject bindings for the shell's screenshots in a Wayland session
  gnome-shell gnome-shell-extension-appindicator libglib2.0-bin python3-gi
  # The host matrix: the trays and StatusNotifierItem hosts of Debian 12's desktops, in their default setup
  mate-panel polybar tint2 lxpanel xfce4-panel xfconf lxqt-panel plasma-workspace plasma-desktop kded5
  # ... and the Wayland ones (headless sway with waybar or swaybar, grim for pictures, a virtual pointer)
  sway waybar grim libwayland-dev libwayland-bin wayland-protocols
)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
