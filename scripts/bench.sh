#!/usr/bin/env bash
# Builds the Windows tree and runs the benchmarks under Wine: start-up and
# hand-off of tavu.exe against bare programs built beside it, then drops and
# keystrokes against plain list-box adds and bare queries, and folder moves
# and copies against bare MoveFileW and CopyFileW, and one commit against a
# bare shell rename, and "Open with TAVU" from a real Linux desktop
# installation. Prints figures
# only; it never fails on time, only when a benchmark program fails.
# They run on the build this machine's Wine runs. TAVU_BENCH_BUILD and
# TAVU_BENCH_PREFIX choose another build folder and Wine prefix (by default
# build/win32 or build/win64, and that build's build/wineprefix-bench).
# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_packages
ensure_locale
require_wine
OUT=${TAVU_BENCH_BUILD:-$WIN_BUILD}
WINEPREFIX=${TAVU_BENCH_PREFIX:-$(wine_prefix bench)}
export WINEPREFIX
configure_tree "$TAVU_WINE_BITS" "$OUT"
cmake --build "$OUT" --target tavu bench_startup bench_bare_window bench_bare_handoff bench_queue \
  bench_fileops bench_commit
LOG=$OUT/bench-logs
BENCHES=(startup queue fileops commit launcher)
mkdir -p "$LOG"
rm -f "$LOG"/*.log "$LOG"/*.rc
set +e
stop_wine_on_exit
# The inner script expands its own variables.
# shellcheck disable=SC2016
run_in_xvfb bash -c '
  source "$1/scripts/setup.sh"
  set +e
  stop_wine_on_exit
  start_wine || exit
  cd "$2" || exit
  run_logged "$3" startup 900 "${WINE_JA[@]}" bench_startup.exe
  run_logged "$3" queue 900 "${WINE_JA[@]}" bench_queue.exe
  run_logged "$3" fileops 900 "${WINE_JA[@]}" bench_fileops.exe
  run_logged "$3" commit 900 "${WINE_JA[@]}" bench_commit.exe
  stop_wine
  run_logged "$3" launcher 300 bash "$1/bench/linux/bench_launcher.sh"
' _ "$ROOT" "$OUT" "$LOG"
failed=0
for b in "${BENCHES[@]}"; do
  cat "$LOG/$b.log" 2>/dev/null
  rc=$(cat "$LOG/$b.rc" 2>/dev/null)
  if [ -z "$rc" ]; then
    echo "bench_$b did not run to its end (log: $LOG/$b.log)"
    failed=1
  elif [ "$rc" != 0 ]; then
    echo "bench_$b exited with $rc (log: $LOG/$b.log)"
    failed=1
  fi
done
[ "$failed" -eq 0 ]
