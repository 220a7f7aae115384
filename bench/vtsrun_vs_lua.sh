#!/usr/bin/env bash
# Runs each benchmark program of bench/scripts/ with vtsrun and with Lua 5.4,
# side by side on the same processors, and prints their processor times,
# peak memory and the ratios vtsrun / Lua.
#
#   bench/vtsrun_vs_lua.sh [--cpus LIST] [VTSRUN] [ROUNDS]
#
# VTSRUN defaults to $VTSRUN, else build/release/tools/vtsrun; use a Release
# build. Both programs are pinned with taskset to the processors of LIST
# (default: the last two of the machine). Each program runs ROUNDS times
# (default 5), a vtsrun run and a Lua run in turn, so that both meet the
# same load; the medians count, of the processor time (user + system, to
# the millisecond) and, apart, of the peak memory (maximum resident set).
# The start-up of each (an empty program) is measured the same way; "net
# ratio" is the ratio of the times with the start-ups taken off. The
# programs are sized so that Lua's net time is at least 0.3 s, far above
# the noise of a start-up. The load average is printed before and after.
# The scripts run in a scratch folder (vtsrun's program folder).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
ncpu=$(nproc)
cpus=$(( ncpu > 1 ? ncpu - 2 : 0 )),$(( ncpu - 1 ))
if [[ ${1:-} == --cpus ]]; then
  cpus=$2
  shift 2
fi
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

# One pinned run: "MS KB", its processor time in ms (user + system, of it
# and of /usr/bin/time, which adds well under a millisecond) and its peak
# resident memory in KB; fails when the run fails. The memory comes from
# /usr/bin/time, a small parent: a process started by a large one would
# count that one's peak as its own.
one_run() {
  local TIMEFORMAT='%3U %3S' times
  times=$( { time /usr/bin/time -f %M -o "$work/kb" taskset -c "$cpus" "$@" >/dev/null 2>&1; } 2>&1 ) ||
    { echo "failed: $*" >&2; return 1; }
  awk -v kb="$(tail -n 1 "$work/kb")" '{ printf "%.1f %d\n", ($1 + $2) * 1000, kb }' <<<"$times"
}

# The median of the numbers on stdin.
median() {
  sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# "VMS VKB LMS LKB": the medians of ROUNDS runs of each side, in turn.
pair_runs() {
  local vts=$1 lua_file=$2 r vms=() vkb=() lms=() lkb=() out ms kb
  for ((r = 0; r < rounds; r++)); do
    out=$(one_run "$vtsrun" --timeout 0 "$vts")
    read -r ms kb <<<"$out"
    vms+=("$ms") vkb+=("$kb")
    out=$(one_run "$lua" "$lua_file")
    read -r ms kb <<<"$out"
    lms+=("$ms") lkb+=("$kb")
  done
  echo "$(printf '%s\n' "${vms[@]}" | median) $(printf '%s\n' "${vkb[@]}" | median)" \
       "$(printf '%s\n' "${lms[@]}" | median) $(printf '%s\n' "${lkb[@]}" | median)"
}

# a / b, and (a - a0) / (b - b0) when given the start-ups a0 and b0.
ratio() {
  awk -v a="$1" -v b="$2" -v a0="${3:-0}" -v b0="${4:-0}" \
    'BEGIN { a -= a0; b -= b0; if (b < 0.1) b = 0.1; printf "%.2f", a / b }'
}

echo "processors $cpus, $rounds rounds, load average $(cut -d' ' -f1-3 /proc/loadavg)"
printf 'return(0)\n' > startup_.vts
: > startup_.lua
medians=$(pair_runs startup_.vts startup_.lua)
read -r v0 v0kb l0 l0kb <<<"$medians"
rm -f startup_.vts startup_.lua

printf '%-20s %9s %9s %6s %9s %10s %10s %9s\n' program "vtsrun ms" "lua ms" ratio "net ratio" \
  "vtsrun KB" "lua KB" "KB ratio"
printf '%-20s %9.1f %9.1f %6s %9s %10d %10d %9s\n' "(start-up)" "$v0" "$l0" "$(ratio "$v0" "$l0")" "" \
  "$v0kb" "$l0kb" "$(ratio "$v0kb" "$l0kb")"
for vts in *.vts; do
  name=${vts%.vts}
  if [[ ! -f $name.lua ]]; then
    printf '%-20s %9s\n' "$name" "(no Lua program)"
    continue
  fi
  medians=$(pair_runs "$vts" "$name.lua")
  read -r v vkb l lkb <<<"$medians"
  printf '%-20s %9.1f %9.1f %6s %9s %10d %10d %9s\n' "$name" "$v" "$l" "$(ratio "$v" "$l")" \
    "$(ratio "$v" "$l" "$v0" "$l0")" "$vkb" "$lkb" "$(ratio "$vkb" "$lkb")"
done
echo "load average $(cut -d' ' -f1-3 /proc/loadavg)"
