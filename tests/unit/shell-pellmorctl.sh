#!/usr/bin/env bash
# pellmorctl's command line: what it sends for each command, with options as "--name value" or
# "--name=value"; status 2 and nothing sent for a usage error, a value the companion would ignore
# included; status 1 with no companion, and no container made by a failed command.
# The environment names PELLMORCTL and GROUP (the application-group identifier).
set -euo pipefail
: "${PELLMORCTL:?}" "${GROUP:?}"
work=$(mktemp -d "${TMPDIR:-/tmp}/pellmorctl-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
container="$XDG_RUNTIME_DIR/$GROUP"
passes=0 failures=0
check() {
  if [ "$2" = "$3" ]; then
    passes=$((passes + 1))
  else
    echo "FAIL: $1: expected '$3', got '$2'" >&2
    failures=$((failures + 1))
  fi
}
# status ARGUMENTS...: pellmorctl's exit status, its standard error kept in $work/err.
status() {
  local code=0
  "$PELLMORCTL" "$@" >"$work/out" 2>"$work/err" || code=$?
  echo "$code"
}

# Each row: the exit status with no companion, then the arguments.
while read -r expected arguments; do
  eval "set -- $arguments"
  check "no companion: $arguments" "$(status "$@")" "$expected"
  [ "$expected" != 2 ] || grep -q '(see pellmorctl --help)$' "$work/err" || check "$arguments: says why" "$(cat "$work/err")" "a usage error"
done <<'ROWS'
0 --help
0 -h
0 listen -h
0 -V
1 send '{"action":"x","nested":{"a":[1,2]}}'
1 show-timer --started-ago=3930 --hours=0
1 show-timer --started-at 1700000000.5
1 set-time-format decimal
1 set-decimal-symbol ,
1 listen --count=1 --timeout=0
1 position --timeout 0.1
2
2 bogus
2 --bogus
2 send 'not json'
2 send '[1,2]'
2 send '{"a":1}{'
2 send '{"action":"showTimer","startedAt":1e400}'
2 send
2 set-time-format Decimal
2 set-decimal-symbol ';'
2 set-authenticated yes
2 set-timestamps-mode
2 clear-timer now
2 show-timer --started-ago 1 --started-at 2
2 show-timer --hours=lots
2 show-timer --hours=1e400
2 show-timer --minutes 3
2 listen --count
2 listen --count=0
2 listen --count 1.5
2 position --timeout=-1
ROWS
check "-V" "$("$PELLMORCTL" -V)" "$("$PELLMORCTL" --version)"
check "no container made by failed commands" "$(ls -A "$XDG_RUNTIME_DIR")" ""

# With a reader at from_main.fifo, as the companion has: each command's line.
mkdir -m 700 "$container"
mkfifo "$container/from_main.fifo"
exec 3<>"$container/from_main.fifo"
while IFS='|' read -r arguments line; do
  eval "set -- $arguments"
  check "sent: $arguments" "$(status "$@")" 0
  read -r -t 10 sent <&3 || sent="(nothing)"
  check "line of: $arguments" "$sent" "$line"
done <<'ROWS'
send '{ "action": "x", "n": [1.5e3] }'|{ "action": "x", "n": [1.5e3] }
show-timer --started-at=1700000000.5 --hours 0|{"action":"showTimer","hoursWithoutTimer":0.0,"startedAt":1700000000.5}
show-timer|{"action":"showTimer"}
clear-timer|{"action":"clearTimer"}
set-authenticated false|{"action":"setAuthenticated","value":false}
set-timestamps-mode true|{"action":"setTimestampsMode","value":true}
set-time-format hours_minutes|{"action":"setTimeFormat","value":"hours_minutes"}
set-decimal-symbol .|{"action":"setDecimalSymbol","value":"."}
ROWS
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
