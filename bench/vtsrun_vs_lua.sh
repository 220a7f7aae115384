#!/usr/bin/env bash
# Runs each benchmark program of bench/scripts/ with vtsrun and with Lua 5.4,
# side by side, and prints the wall times and the ratio vtsrun / Lua.
#
#   bench/vtsrun_vs_lua.sh [VTSRUN] [ROUNDS]
#
# VTSRUN defaults to $VTSRUN, else build/release/tools/vtsrun; use a Release
# build. Each program runs ROUNDS times (default 5) and the median time
# counts, with the peak memory (maximum resident set) of the median run.
# The scripts run in a scratch folder (vtsrun's program folder). The start-up
# of each (an empty program) is measured too; "net ratio" is the ratio of the
# times with the start-ups taken off.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
vtsrun=${1:-${VTSRUN:-$root/build/release/tools/vtsrun}}
rounds=${2:-5}
lua=${LUA:-lua5.4}

[[ -x $vtsrun ]] || { echo "no vtsrun at $vtsrun (build it, or pass its path)" >&2; exit 2; }
command -v "$lua" >/dev/null || { echo "no $lua (apt-get install lua5.4)" >&2; exit 2; }
[[ -x /usr/bin/time ]] || { echo "no /usr/bin/time (apt-get install time)" >&2; exit 2; }
vtsrun=$(cd "$(dirname "$vtsrun")" && pwd)/$(basename "$vtsrun")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$here"/scripts/*.vts "$here"/scripts/*.lua "$work"/
cd "$work"

# "MS KB": the median wall time in ms of ROUNDS runs of a command and the
# peak resident memory in KB of that run; fails when a run fails.
median_run() {
  local runs=()
  for ((r = 0; r < rounds; r++)); do
    local t0 t1 kb
    t0=$(date +%s%N)
    kb=$(/usr/bin/time -f %M "$@" 2>&1 >/dev/null | tail -n 1) || { echo "failed: $*" >&2; return 1; }
    t1=$(date +%s%N)
    runs+=("$(( (t1 - t0) / 1000000 )) $kb")
  done
  printf '%s\n' "${runs[@]}" | sort -n | sed -n "$(( (rounds + 1) / 2 ))p"
}

printf 'return(0)\n' > startup_.vts
: > startup_.lua
read -r v0 _ < <(median_run "$vtsrun" --timeout 0 startup_.vts)
read -r l0 _ < <(median_run "$lua" startup_.lua)
rm -f startup_.vts startup_.lua

printf '%-20s %10s %10s %8s %10s %9s %9s\n' program "vtsrun ms" "lua ms" ratio "net ratio" \
  "vtsrun KB" "lua KB"
printf '%-20s %10d %10d\n' "(start-up)" "$v0" "$l0"
for vts in *.vts; do
  name=${vts%.vts}
  if [[ ! -f $name.lua ]]; then
    printf '%-20s %10s\n' "$name" "(no Lua program)"
    continue
  fi
  read -r v vkb < <(median_run "$vtsrun" --timeout 0 "$vts")
  read -r l lkb < <(median_run "$lua" "$name.lua")
  ratio=$(awk -v v="$v" -v l="$l" 'BEGIN { if (l < 1) l = 1; printf "%.1f", v / l }')
  net=$(awk -v v="$((v - v0))" -v l="$((l - l0))" 'BEGIN { if (l < 1) l = 1; printf "%.1f", v / l }')
  printf '%-20s %10d %10d %8s %10s %9d %9d\n' "$name" "$v" "$l" "$ratio" "$net" "$vkb" "$lkb"
done
