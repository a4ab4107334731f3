#!/usr/bin/env bash
# Installs what is missing, builds the trees and runs every test suite: the
# native core tests, the replay of every fuzz corpus, the in-process Wine
# tests (win, and dpi: the scaling tests again at 144 dpi), the process-level
# tests (e2e) and the package and desktop-installation tests (desktop).
# The Wine suites run on the build this machine's Wine runs (the 32-bit one
# where it can); where that is the 32-bit build, the process-level tests run
# once more on the 64-bit build (e2e64).
# A suite fails when a test fails and also when it exits non-zero after a
# clean summary (a leak report, a crash in teardown, a time-out); the last
# line counts the tests, and each such suite as one failure at least.
# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_packages
ensure_locale
build_all
set +e
LOG=$BUILD/test-logs
SUITES=(core fuzz win e2e dpi desktop)
[ "$TAVU_WINE_BITS" = 32 ] && SUITES+=(e2e64)
mkdir -p "$LOG"
rm -f "$LOG"/*.log "$LOG"/*.rc
stop_wine_on_exit

echo "== running core"
run_logged "$LOG" core "$((5 * 60))" "$BUILD/host/core_tests"
echo "== running fuzz (corpus replay)"
run_logged "$LOG" fuzz 120 "$BUILD/host/fuzz_replay"

# Runs the process-level tests of the build chosen with use_wine in that
# build's test prefix, as suite NAME.
run_e2e() { # name
  # The inner script expands its own variables.
  # shellcheck disable=SC2016
  WINEPREFIX=$(wine_prefix test) run_in_xvfb bash -c '
    source "$1/scripts/setup.sh"
    set +e
    stop_wine_on_exit
    start_wine || exit
    cd "$WIN_BUILD" || exit
    run_test_program "$2" "$3" 600 "${WINE_JA[@]}" e2e_tests.exe
  ' _ "$ROOT" "$LOG" "$1"
}

if [ -n "$TAVU_WINE_BITS" ]; then
  echo "== running win, e2e, desktop"
  # The desktop suite installs TAVU into a temporary home, with a prefix of
  # its own.
  # The inner script expands its own variables.
  # shellcheck disable=SC2016
  WINEPREFIX=$(wine_prefix test) run_in_xvfb bash -c '
    source "$1/scripts/setup.sh"
    set +e
    stop_wine_on_exit
    if start_wine; then
      cd "$WIN_BUILD" || exit
      run_test_program "$2" win 600 "${WINE_JA[@]}" win_tests.exe
      run_test_program "$2" e2e 600 "${WINE_JA[@]}" e2e_tests.exe
    fi
    stop_wine
    run_logged "$2" desktop 300 bash "$1/tests/desktop/desktop_test.sh"
  ' _ "$ROOT" "$LOG"
  echo "== running dpi"
  # The window's scaling tests once more, in a prefix of their own set to 144
  # dpi (every other suite stays at 96) and on a screen where the scaled
  # window fits, as a 144-dpi screen is wide.
  # shellcheck disable=SC2016
  WINEPREFIX=$(wine_prefix dpi) XVFB_SCREEN=1920x1080x24 run_in_xvfb bash -c '
    source "$1/scripts/setup.sh"
    set +e
    stop_wine_on_exit
    start_wine && set_dpi 144 || exit
    cd "$WIN_BUILD" || exit
    run_test_program "$2" dpi 300 env TAVU_TEST_DPI=144 "${WINE_JA[@]}" win_tests.exe \
      --gtest_filter="HighDpi.*"
  ' _ "$ROOT" "$LOG"
  if [ "$TAVU_WINE_BITS" = 32 ]; then
    echo "== running e2e64 (the process-level tests on the 64-bit build)"
    use_wine 64
    run_e2e e2e64
    use_wine 32
  fi
fi

# Whether a Wine test program's log names the build its suite is for.
bits_ran_as_meant() { # suite, log
  local want
  case $1 in
    e2e64) want=64 ;;
    win | e2e | dpi) want=$TAVU_WINE_BITS ;;
    *) return 0 ;;
  esac
  grep -q "^Test program: $want-bit build" "$2"
}

passed=0 failed=0
for s in "${SUITES[@]}"; do
  f=$LOG/$s.log
  echo "== $s"
  grep -E '^\[  (FAILED|PASSED)  \]|^\[==========\]' "$f" 2>/dev/null
  p=$(grep -oE '^\[  PASSED  \] [0-9]+' "$f" 2>/dev/null | grep -oE '[0-9]+$' | tail -1)
  n=$(grep -oE '^\[  FAILED  \] [0-9]+ tests?,' "$f" 2>/dev/null | grep -oE '[0-9]+' | tail -1)
  rc=$(cat "$LOG/$s.rc" 2>/dev/null)
  passed=$((passed + ${p:-0}))
  n=${n:-0}
  if [ -z "$rc" ]; then
    echo "$s did not run to its end (log: $f)"
  elif [ "$rc" != 0 ]; then
    case $rc in
      124 | 137) echo "$s timed out (exit $rc; log: $f)" ;;
      *) echo "$s exited with $rc (log: $f)" ;;
    esac
  elif [ -z "$p" ]; then
    echo "$s: no summary (log: $f)"
  elif ! bits_ran_as_meant "$s" "$f"; then
    echo "$s ran another build than it should have (log: $f)"
    p=
  fi
  # Whatever the summary said, a suite that did not end cleanly has failed.
  if { [ "$rc" != 0 ] || [ -z "$p" ]; } && [ "$n" -eq 0 ]; then
    n=1
  fi
  failed=$((failed + n))
done
case $TAVU_WINE_BITS in
  32) echo "Wine suites: 32-bit build ($TAVU_WINE_WHY), e2e once more on the 64-bit build" ;;
  64) echo "Wine suites: 64-bit build ($TAVU_WINE_WHY)" ;;
  *) echo "Wine suites: none ran, $TAVU_WINE_WHY" ;;
esac
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
