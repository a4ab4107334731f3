#!/usr/bin/env bash
# Installs what is missing, builds both trees and runs every test suite:
# the native core tests, the in-process Wine tests and the process-level tests.
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_packages
ensure_locale
build_all
set +e
LOG=$BUILD/test-logs
mkdir -p "$LOG"
rm -f "$LOG"/*.log

run_suite() { # name, timeout in seconds, command...
  local name=$1 limit=$2
  shift 2
  echo "== $name"
  timeout --kill-after=10 "$limit" "$@" >"$LOG/$name.log" 2>&1
  local rc=$?
  grep -E '^\[  (FAILED|PASSED)  \]|^\[==========\]' "$LOG/$name.log"
  [ $rc -ne 0 ] && echo "$name exited with $rc (log: $LOG/$name.log)"
  return 0
}

run_suite core "$((5 * 60))" "$BUILD/host/core_tests"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  source "'"$ROOT"'/scripts/setup.sh"
  set +e
  start_wine
  cd "$BUILD/win32"
  timeout --kill-after=10 600 "${WINE_JA[@]}" win_tests.exe </dev/null >"'"$LOG"'/win.log" 2>&1; echo $? >"'"$LOG"'/win.rc"
  timeout --kill-after=10 600 "${WINE_JA[@]}" e2e_tests.exe </dev/null >"'"$LOG"'/e2e.log" 2>&1; echo $? >"'"$LOG"'/e2e.rc"
  stop_wine
'
for s in win e2e; do
  echo "== $s"
  grep -E '^\[  (FAILED|PASSED)  \]|^\[==========\]' "$LOG/$s.log"
  rc=$(cat "$LOG/$s.rc" 2>/dev/null || echo 1)
  [ "$rc" != 0 ] && echo "$s exited with $rc (log: $LOG/$s.log)"
done

passed=0 failed=0
for s in core win e2e; do
  f=$LOG/$s.log
  p=$(grep -oE '^\[  PASSED  \] [0-9]+' "$f" | grep -oE '[0-9]+$' | tail -1)
  n=$(grep -oE '^\[  FAILED  \] [0-9]+ tests?,' "$f" | grep -oE '[0-9]+' | tail -1)
  passed=$((passed + ${p:-0}))
  if [ -z "$p" ] && [ -z "$n" ]; then
    echo "$s: no summary (crashed or timed out)"
    n=1
  fi
  failed=$((failed + ${n:-0}))
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
