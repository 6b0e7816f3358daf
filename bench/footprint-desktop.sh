#!/usr/bin/env bash
# The desktop figures of the footprint benchmark: on a private Xvfb with trayer.
#   bench/footprint-desktop.sh FOOTPRINT [ARGUMENTS...]
# shellcheck source=bench/harness.sh
source "$(dirname "$0")/harness.sh"
footprint=$1
shift
start_display
start_tray
"$footprint" --desktop --runs 5 "$@"
