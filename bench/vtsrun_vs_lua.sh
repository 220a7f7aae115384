#!/usr/bin/env bash
# Runs each benchmark program of bench/scripts/ with vtsrun and with Lua 5.4,
# side by side, and prints the wall times and the ratio vtsrun / Lua.
#
#   bench/vtsrun_vs_lua.sh [VTSRUN] [ROUNDS]
#
# VTSRUN defaults to $VTSRUN, else build/release/tools/vtsrun; use a Release
# build. Each program runs ROUNDS times (default 3) and the best time counts.
# The scripts run in a scratch folder (vtsrun's program folder). The start-up
# of each (an empty program) is measured too; "net ratio" is the ratio of the
# times with the start-ups taken off.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
vtsrun=${1:-${VTSRUN:-$root/build/release/tools/vtsrun}}
rounds=${2:-3}
lua=${LUA:-lua5.4}

[[ -x $vtsrun ]] || { echo "no vtsrun at $vtsrun (build it, or pass its path)" >&2; exit 2; }
command -v "$lua" >/dev/null || { echo "no $lua (apt-get install lua5.4)" >&2; exit 2; }
vtsrun=$(cd "$(dirname "$vtsrun")" && pwd)/$(basename "$vtsrun")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/scripts/*.vts "$here"/scripts/*.lua "$work"/
cd "$work"

# Best wall time in ms of ROUNDS runs of a command; fails when it fails.
best_ms() {
  local best=
  for ((r = 0; r < rounds; r++)); do
    local t0 t1 ms
    t0=$(date +%s%N)
    "$@" >/dev/null || { echo "failed: $*" >&2; return 1; }
    t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 ))
    if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
  done
  echo "$best"
}

printf 'return(0)\n' > startup_.vts
: > startup_.lua
v0=$(best_ms "$vtsrun" --timeout 0 startup_.vts)
l0=$(best_ms "$lua" startup_.lua)
rm -f startup_.vts startup_.lua

printf '%-20s %10s %10s %8s %10s\n' program "vtsrun ms" "lua ms" ratio "net ratio"
printf '%-20s %10d %10d\n' "(start-up)" "$v0" "$l0"
for vts in *.vts; do
  name=${vts%.vts}
  if [[ ! -f $name.lua ]]; then
    printf '%-20s %10s\n' "$name" "(no Lua program)"
    continue
  fi
  v=$(best_ms "$vtsrun" --timeout 0 "$vts")
  l=$(best_ms "$lua" "$name.lua")
  ratio=$(awk -v v="$v" -v l="$l" 'BEGIN { if (l < 1) l = 1; printf "%.1f", v / l }')
  net=$(awk -v v="$((v - v0))" -v l="$((l - l0))" 'BEGIN { if (l < 1) l = 1; printf "%.1f", v / l }')
  printf '%-20s %10d %10d %8s %10s\n' "$name" "$v" "$l" "$ratio" "$net"
done
