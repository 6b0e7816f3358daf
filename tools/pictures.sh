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

# settle_picture REGION OUT: screenshots the part of the screen that the command REGION prints (as
# "WIDTHxHEIGHT+X+Y", asked anew for each shot) until two shots in a row agree and differ from the last
# picture settled, and keeps that one as OUT. The item paints after its title changes, and a tray may
# still be moving or resizing its slot.
settle_picture() {
  shoot_region "$1" previous && wait_until region_settled "$1" || return 1
  cp "$E2E_DIR/current.png" "$E2E_DIR/last-settled.png"
  cp "$E2E_DIR/current.png" "$2"
}
# shoot_region REGION NAME: the region's picture as NAME.
shoot_region() { screenshot && convert "$E2E_DIR/shot.png" -crop "$("$1")" +repage "$E2E_DIR/$2.png"; }
same_picture() { compare -metric AE "$E2E_DIR/$1.png" "$E2E_DIR/$2.png" null: 2>/dev/null; }
region_settled() {
  shoot_region "$1" current && same_picture previous current && ! same_picture last-settled current && return 0
  mv "$E2E_DIR/current.png" "$E2E_DIR/previous.png"
  return 1
}
