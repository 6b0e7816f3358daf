# shellcheck shell=bash
# Sourced by the scripts that take the README's pictures: the debug build's companion and pellmorctl
# (unless COMPANION and PELLMORCTL name others), the images folder, and the end-to-end harness with a
# virtual X server.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export COMPANION=${COMPANION:-$root/build/debug/PellmorStatus/PellmorStatus}
export PELLMORCTL=${PELLMORCTL:-$root/build/debug/tools/pellmorctl}
export RESOURCES=$root/resources
if [ ! -x "$COMPANION" ] || [ ! -x "$PELLMORCTL" ]; then
  echo "$(basename "$0"): build first (cmake --preset debug && cmake --build --preset debug)" >&2
  exit 1
fi
images=$root/docs/images
mkdir -p "$images"

# shellcheck source=tests/e2e/harness.sh
source "$root/tests/e2e/harness.sh"
start_display

# show_state "name|image|text|command;command...": enters the state and waits until the item's title shows
# the image and the text.
show_state() {
  enter_state "$1"
  wait_for_title "$image|$text" >/dev/null
}
