#!/usr/bin/env bash
# trayer, a tray that gives the item the width it asks for: the whole row, 22 high in a 24 high panel.
# shellcheck source=tests/hosts/hosts.sh
source "$(dirname "$0")/hosts.sh"
start_display
start_session_bus
start_tray
start_companion
xembed_host_test 63x22 start_tray stop_tray
