#!/usr/bin/env bash
# Builds the Windows tree and runs the benchmarks under Wine: start-up and
# hand-off of tavu.exe against bare programs built beside it, then drops and
# keystrokes against plain list-box adds and bare queries, and folder moves
# and copies against bare MoveFileW and CopyFileW. Prints figures
# only; it never fails on time. TAVU_BENCH_BUILD and TAVU_BENCH_PREFIX choose
# another build folder and Wine prefix.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_packages
ensure_locale
OUT=${TAVU_BENCH_BUILD:-$BUILD/win32}
PREFIX=${TAVU_BENCH_PREFIX:-$WINEPREFIX}
cmake -S "$ROOT" -B "$OUT" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$OUT" --target tavu bench_startup bench_bare_window bench_bare_handoff bench_queue \
  bench_fileops
export OUT PREFIX ROOT
LOG=$OUT/bench-startup.log
export LOG
rm -f "$LOG"
set +e
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  source "$ROOT/scripts/setup.sh"
  export WINEPREFIX=$PREFIX
  set +e
  start_wine
  cd "$OUT"
  timeout --kill-after=10 900 "${WINE_JA[@]}" bench_startup.exe </dev/null >"$LOG" 2>&1
  timeout --kill-after=10 900 "${WINE_JA[@]}" bench_queue.exe </dev/null >>"$LOG" 2>&1
  timeout --kill-after=10 900 "${WINE_JA[@]}" bench_fileops.exe </dev/null >>"$LOG" 2>&1
  echo "exit $?" >>"$LOG"
  stop_wine
'
cat "$LOG"
grep -qx 'exit 0' "$LOG"
