#!/usr/bin/env bash
# Takes the README's pictures of the item in each real host (docs/images/hosts/<host>-<state>.png): runs
# the host matrix (`ctest --preset debug -L hosts`), whose tests save their crop of the host's drawing of
# each state when PELLMOR_HOST_PICTURES names a folder. Builds nothing: needs the debug build in
# build/debug (cmake --preset debug && cmake --build --preset debug). Fails when a test fails or a host
# leaves a state without its picture.
set -euo pipefail
cd "$(dirname "$0")/.."
images=docs/images/hosts
# The hosts are the tests' names; the GNOME Shell test also draws the item as a StatusNotifierItem.
mapfile -t hosts < <(ctest --preset debug -N -L hosts | sed -n -E 's/.*Test +#[0-9]+: hosts\.//p')
[ "${#hosts[@]}" -gt 0 ] || { echo "host-pictures.sh: no host tests in build/debug" >&2 && exit 1; }
hosts+=(gnome-shell-sni)

pictures=$(mktemp -d)
trap 'rm -rf "$pictures"' EXIT
chmod 777 "$pictures"  # the sway hosts' tests run as an unprivileged account
status=0
PELLMOR_HOST_PICTURES=$pictures ctest --preset debug -L hosts --output-on-failure || status=$?
[ "$status" = 0 ] || echo "host-pictures.sh: host tests failed; pictures of the rest kept" >&2

mkdir -p "$images"
for host in "${hosts[@]}"; do
  for state in sign-in no-time running; do
    picture=$host-$state.png
    if [ -f "$pictures/$picture" ]; then
      cp "$pictures/$picture" "$images/$picture"
      echo "$images/$picture: $(identify -format '%wx%h' "$images/$picture")"
    else
      echo "host-pictures.sh: $host drew no picture of $state" >&2
      status=1
    fi
  done
done
exit "$status"
