#!/usr/bin/env bash
# Set-up, build, run and test of the platform on Debian 12.
#   ./vttel.sh run     install what is missing, build, start on demo/
#   ./vttel.sh test    install what is missing, build, run the whole suite
#   ./vttel.sh build   install what is missing and build the program only
#   ./vttel.sh bench   build and run the benchmarks
#   ./vttel.sh fuzz    build the fuzz targets with clang and run them
#   ./vttel.sh soak    build and run the 240-line soak (tools/soak.py)
#   ./vttel.sh packages COMMAND   print the Debian packages COMMAND installs
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
JOBS="${JOBS:-$(nproc 2>/dev/null || echo 2)}"  # build and test jobs; JOBS=N overrides
# The compiler cache keys on paths relative to the checkout, so a fresh
# clone elsewhere reuses what an earlier build compiled.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$ROOT}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"

# Debian packages that building and running the program need: no servers,
# nothing that starts a daemon.
PROGRAM_PACKAGES=(
  g++ cmake ninja-build pkg-config ccache python3
  libasound2-dev  # the sound card (ALSA)
  qt6-base-dev fonts-wqy-microhei  # the window and its Chinese texts
  espeak-ng sox libsamplerate0-dev  # speech; the demo's voices
  libopencc-dev  # Big5 text
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql odbc-mariadb tdsodbc  # ADO and its drivers
  libmariadb3 libmariadb-dev  # the MySQL back end's client library
  libsybdb5  # the SQL Server back end's client library
)
# What the tests, the benchmarks and the fuzz targets add: test libraries,
# the database and web servers and the other peers they talk to, the tools
# that check their files, and the Debian data their fixtures are made from.
TEST_PACKAGES=(
  libgtest-dev libgmock-dev libbenchmark-dev
  libpcre2-dev locales xvfb
  python3-dbf python3-dbfread shapelib
  postgresql mariadb-server mariadb-client sqlite3
  freetds-dev freetds-bin  # the SQL Server tests' tools
  nginx-light apache2-utils curl  # the HTTP tests' peers
  unicode-data  # the voice library's pinyin table
  socat  # a UDP peer of the tests
  unifont libtiff-tools libtiff-dev poppler-utils  # fax fonts; fax files checked by libtiff
)
BENCH_PACKAGES=(lua5.4 time)  # Lua beside the engine; time measures peak memory
FUZZ_PACKAGES=(clang libclang-rt-14-dev)

# packages_for COMMAND: the packages COMMAND installs, one a line.
packages_for() {
  local list=("${PROGRAM_PACKAGES[@]}")
  case "$1" in
    run|build|soak) ;;
    test) list+=("${TEST_PACKAGES[@]}") ;;
    bench) list+=("${TEST_PACKAGES[@]}" "${BENCH_PACKAGES[@]}") ;;
    fuzz) list+=("${TEST_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}") ;;
    *) echo "no such command: $1" >&2; return 2 ;;
  esac
  printf '%s\n' "${list[@]}"
}

# Test data that other Debian packages ship; each tests/<sub>/fetch_data.sh
# unpacks what its tests need into build/data/<sub> (idempotent).
fetch_test_data() {
  local script
  for script in "$ROOT"/tests/*/fetch_data.sh; do
    [ -f "$script" ] || continue
    bash "$script" "$ROOT/build/data"
  done
}

log() { printf '== %s\n' "$*" >&2; }

# install_packages COMMAND: installs what COMMAND needs and is missing.
install_packages() {
  local missing=() wanted
  mapfile -t wanted < <(packages_for "$1")
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The tests run number text under a German locale, whose decimal comma
# must not leak into the system's numbers.
generate_test_locale() {
  locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$' && return 0
  log "generating the de_DE.UTF-8 locale"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" localedef -i de_DE -c -f UTF-8 de_DE.UTF-8
}

# configure DIR [cmake options...]
configure() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$ROOT/$dir" -G Ninja "$@" >/dev/null
}

build_release() {
  configure build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVTTEL_TESTS=OFF
  cmake --build "$ROOT/build/release" -j "$JOBS" "$@"
}

cmd_run() {
  install_packages run
  build_release
  log "making the demo's voices"
  "$ROOT/demo/make_voices.sh"
  log "starting vttel on $ROOT/demo (vttelctl quit stops it)"
  export VTTEL_HOME="$ROOT/demo"
  exec "$ROOT/build/release/vttel/vttel"
}

# The sanitizer builds of the tests: -O1, and line tables (-g1) for the
# sanitizers' reports, which name every frame's file and line; full debug
# information would make the compiles a third slower. Reconfigure with
# -g for a debugger's view of locals.
SANITIZER_FLAGS=(-DCMAKE_BUILD_TYPE=Debug "-DCMAKE_CXX_FLAGS_DEBUG=-g1 -O1" "-DCMAKE_C_FLAGS_DEBUG=-g1 -O1")

cmd_test() {
  install_packages test
  generate_test_locale
  fetch_test_data
  # Concurrency tests first, under ThreadSanitizer (their binaries and what
  # they link only).
  configure build/tsan "${SANITIZER_FLAGS[@]}" -DVTTEL_SANITIZE=thread
  cmake --build "$ROOT/build/tsan" -j "$JOBS" --target concurrency_tests
  (cd "$ROOT/build/tsan" && ctest -L concurrency --output-on-failure -j "$JOBS")
  # A plain vtsrun and vttel for the memory-limit tests (AddressSanitizer
  # cannot run under an address-space limit; they skip without them): no
  # sanitizer, at the sanitizer builds' -O1, which compiles in half the time
  # of the release build's -O2 -g.
  configure build/plain "${SANITIZER_FLAGS[@]}" -DVTTEL_TESTS=OFF
  cmake --build "$ROOT/build/plain" -j "$JOBS" --target vtsrun vttel
  # The whole suite under AddressSanitizer and UBSan, the fuzz targets'
  # seeds replayed among it; its summary ends the run.
  configure build/test "${SANITIZER_FLAGS[@]}" -DVTTEL_SANITIZE=address
  cmake --build "$ROOT/build/test" -j "$JOBS"
  cd "$ROOT/build/test"
  local log="$ROOT/build/test/ctest-output.txt" rc
  set +e
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --output-on-failure -j "$JOBS" --timeout 900 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  set -e
  # CTest's summary line ends the output.
  grep -E '^[0-9]+% tests passed' "$log" | tail -n 1
  return "$rc"
}

# The fuzz targets: clang and its sanitizer run-time, built in build/fuzz
# (the layers and fuzz/*_fuzz.cc only, not the program or the window), at
# -O1, which compiles a quarter faster than -O2 and fuzzes about as fast.
# The test suite replays their seeds without them (tests/fuzz/).
build_fuzz() {
  configure build/fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
    -DVTTEL_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
  cmake --build "$ROOT/build/fuzz" -j "$JOBS"
}

# run_fuzz SECONDS DIR: runs each target for SECONDS from DIR/<name>, where
# it keeps what it finds, and the seed inputs checked in under
# fuzz/corpus/<name without _fuzz>. Every target runs; returns non-zero
# when one of them failed (its report and crash input are in its output).
run_fuzz() {
  local seconds="$1" dir="$2" target name failed=() tmp
  # The targets write their input as a file for every run: in memory where
  # there is a /dev/shm, a disk's truncations make them several times slower.
  tmp="$(mktemp -d -p /dev/shm vttel-fuzz.XXXXXX 2>/dev/null || mktemp -d)"
  for target in "$ROOT"/build/fuzz/fuzz/*_fuzz; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    mkdir -p "$dir/$name"
    local corpus=("$dir/$name")
    [ -d "$ROOT/fuzz/corpus/${name%_fuzz}" ] && corpus+=("$ROOT/fuzz/corpus/${name%_fuzz}")
    log "fuzzing $name for ${seconds}s"
    (cd "$dir" && TMPDIR="$tmp" "$target" -max_total_time="$seconds" -timeout=60 -print_final_stats=1 \
      -artifact_prefix="$dir/$name-" "${corpus[@]}" 2>"$dir/$name.log") ||
      { tail -n 40 "$dir/$name.log" >&2; failed+=("$name"); }
    grep -E '^stat::number_of_executed_units' "$dir/$name.log" >&2 || true
  done
  rm -rf "$tmp"
  [ ${#failed[@]} -eq 0 ] && return 0
  log "fuzz targets that failed: ${failed[*]}"
  return 1
}

# ./vttel.sh fuzz [SECONDS]: builds the fuzz targets and runs each for
# SECONDS (default 60), keeping what they find under build/fuzz-corpus.
cmd_fuzz() {
  install_packages fuzz
  build_fuzz
  run_fuzz "${1:-60}" "$ROOT/build/fuzz-corpus"
}

# ./vttel.sh soak [MINUTES]: the release build on 8 E1 trunks (240 lines)
# kept busy for MINUTES (default 60) by tools/soak.py; its figures go to
# build/soak.md.
cmd_soak() {
  install_packages soak
  build_release --target vttel vttelctl
  python3 "$ROOT/tools/soak.py" --program "$ROOT/build/release/vttel/vttel" \
    --vttelctl "$ROOT/build/release/tools/vttelctl" --minutes "${1:-60}" \
    --report "$ROOT/build/soak.md"
}

cmd_bench() {
  install_packages bench
  configure build/bench -DCMAKE_BUILD_TYPE=Release -DVTTEL_TESTS=OFF -DVTTEL_BENCH=ON
  cmake --build "$ROOT/build/bench" -j "$JOBS"
  for b in "$ROOT"/build/bench/bench/*_bench; do "$b"; done
  # Whole scripts: vtsrun beside Lua 5.4 (vtsrun of the Release build above).
  bash "$ROOT/bench/vtsrun_vs_lua.sh" "$ROOT/build/bench/tools/vtsrun"
}

case "${1:-}" in
  run) cmd_run ;;
  test) cmd_test ;;
  build) install_packages build; build_release ;;
  bench) cmd_bench ;;
  fuzz) shift; cmd_fuzz "$@" ;;
  soak) shift; cmd_soak "$@" ;;
  packages) packages_for "${2:-}" ;;
  *) echo "usage: $0 run|test|build|bench|fuzz [seconds]|soak [minutes]|packages COMMAND" >&2
     exit 2 ;;
esac
