#!/usr/bin/env bash
# The two ways out of the build: the Windows package as built by the test
# command, and the Linux desktop installation into a temporary home, driven
# for real under the test run's Xvfb: the launcher with a path that has
# blanks and Japanese characters, a second launch that hands its path over,
# and the uninstallation. Prints its verdicts as GoogleTest does, so the test
# command counts them. The tests run in order; each later one builds on the
# installation the earlier ones made.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# The build this machine's Wine runs is the one installed; both packages are
# checked.
BITS=${TAVU_WINE_BITS:?run by the test command, which chooses the build}
WIN=$ROOT/build/win$BITS
# Every wait is bounded; a first start in a fresh prefix takes a few seconds.
WAIT_S=30

WORK=$(mktemp -d /tmp/tavu-desktop.XXXXXX)
export HOME=$WORK/home
# The home holds only what the installation and the user put there: caches
# that any program run may fill (fontconfig's) live outside it.
export XDG_CACHE_HOME=$WORK/cache
unset XDG_DATA_HOME XDG_CONFIG_HOME WINEPREFIX WINEARCH WINEDLLOVERRIDES
if [ "$BITS" = 64 ]; then
  PREFIX=$HOME/.local/share/tavu/prefix-win64
else
  PREFIX=$HOME/.local/share/tavu/prefix
fi
LAUNCHER=$HOME/.local/bin/tavu
ENTRY=$HOME/.local/share/applications/tavu.desktop
FILES=$WORK/files
FIRST="$FILES/旅行 写真/京都 2026.jpg"
SECOND="$FILES/旅行 写真"

cleanup() {
  if [ -d "$PREFIX" ]; then
    WINEPREFIX=$PREFIX wineserver -k </dev/null >/dev/null 2>&1
  fi
  # The first launcher runs in the background of a test's subshell.
  [ -f "$WORK/first.pid" ] && kill "$(cat "$WORK/first.pid")" 2>/dev/null
  rm -rf -- "$WORK"
}
trap cleanup EXIT

# ---- a small runner in GoogleTest's words

PASSED=0
FAILED=()
# Names the line of the test that failed, not that of a helper below.
fail() {
  local i=1
  while [[ "${FUNCNAME[$i]}" == expect_* ]]; do
    i=$((i + 1))
  done
  echo "${BASH_SOURCE[$i]}:${BASH_LINENO[$((i - 1))]}: Failure"
  echo "$*"
  exit 1
}
expect_eq() { # actual, expected, what
  [ "$1" = "$2" ] || fail "$3: got [$1], expected [$2]"
}
run_test() { # name, function, [argument...]
  local name=$1 start rc
  shift
  echo "[ RUN      ] $name"
  start=$(date +%s%N)
  # A subshell, so that the first failing step ends the test alone.
  (
    set -e
    "$@"
  )
  rc=$?
  local ms=$((($(date +%s%N) - start) / 1000000))
  if [ "$rc" -eq 0 ]; then
    echo "[       OK ] $name ($ms ms)"
    PASSED=$((PASSED + 1))
  else
    echo "[  FAILED  ] $name ($ms ms)"
    FAILED+=("$name")
  fi
}

# Polls a command every 200 ms until it succeeds; false after WAIT_S seconds.
wait_for() {
  local end=$((SECONDS + WAIT_S))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}

# The Windows form of a Linux path outside the prefix: drive Z: is the root.
windows_path() {
  local p=${1//\//\\}
  printf 'Z:%s' "$p"
}

# What the running TAVU shows: its path field, then its queue, one a line.
# The reader may be the first Wine program of the prefix's session, whose
# settings Wine's background programs then take: it runs as the launcher
# runs Wine, or Wine's menu builder would leave folders in the home.
show_window() {
  WINEPREFIX=$PREFIX WINEARCH=win$BITS WINEDEBUG=-all \
    WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' \
    wine "$WIN/e2e_tests.exe" --tavu-show-window 5000 </dev/null >"$WORK/window.txt" 2>/dev/null
}
window_lines() {
  mapfile -t SHOWN <"$WORK/window.txt"
}
queue_holds() { # count
  show_window && window_lines && [ "${#SHOWN[@]}" -eq $(($1 + 1)) ]
}

# Every path under the home with its kind and, for files, a checksum.
home_listing() {
  (cd "$HOME" && find . -mindepth 1 -printf '%y %p\n' | sort)
  (cd "$HOME" && find . -type f -exec md5sum {} + | sort -k2)
}

# ---- the Windows package

# Each test below takes the bitness of the package it checks.
zip_holds_the_program_and_the_send_to_note() { # 32 or 64
  local win=$ROOT/build/win$1 zip=$ROOT/build/win$1/TAVU-1.0.0-win$1.zip
  [ -f "$zip" ] || fail "no package at $zip"
  local names
  names=$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')
  expect_eq "$names" "SendTo.txt tavu.exe " "files in the package"
  mkdir "$WORK/zip$1"
  (cd "$WORK/zip$1" && cmake -E tar xf "$zip")
  cmp "$WORK/zip$1/tavu.exe" "$win/tavu.exe" || fail "the package holds another tavu.exe"
  cmp "$WORK/zip$1/SendTo.txt" "$ROOT/packaging/windows/SendTo.txt" || fail "another note"
  grep -q 'shell:sendto' "$WORK/zip$1/SendTo.txt" || fail "the note does not name shell:sendto"
  # Notepad of every Windows version reads it: UTF-8 with its mark, CR LF.
  expect_eq "$(head -c 3 "$WORK/zip$1/SendTo.txt" | od -An -tx1 | tr -d ' ')" efbbbf "mark"
  if grep -qv $'\r$' "$WORK/zip$1/SendTo.txt"; then
    fail "a line of the note does not end in CR LF"
  fi
}

program_is_stripped_small_and_needs_only_system_dlls() { # 32 or 64
  local exe=$ROOT/build/win$1/tavu.exe size dll objdump=i686-w64-mingw32-objdump
  local machine='i386' arch='x86'
  if [ "$1" = 64 ]; then
    objdump=x86_64-w64-mingw32-objdump machine='x86-64' arch='amd64'
  fi
  size=$(stat -c %s "$exe")
  [ "$size" -lt $((600 * 1024)) ] || fail "tavu.exe is $size bytes, not under 600 KiB"
  $objdump -f "$exe" | grep -q "architecture: i386:$machine\|architecture: $machine" ||
    fail "tavu.exe is not built for $machine: $($objdump -f "$exe" | grep architecture)"
  # Windows refuses to start a program whose manifest names another processor.
  grep -aq "processorArchitecture=\"$arch\"" "$exe" || fail "the manifest does not name $arch"
  $objdump -t "$exe" | grep -qx 'no symbols' || fail "tavu.exe keeps its symbols"
  if $objdump -h "$exe" | grep -q '\.debug'; then
    fail "tavu.exe keeps debugging sections"
  fi
  local dlls
  dlls=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
  [ -n "$dlls" ] || fail "no imports found"
  for dll in $dlls; do
    case $dll in
      kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | shell32.dll | ole32.dll | \
        advapi32.dll | uxtheme.dll | msvcrt.dll) ;;
      *) fail "tavu.exe needs $dll, which Windows does not bring" ;;
    esac
  done
}

# Exports Windows 7 lacks that a program of this kind could reach for, or its
# C++ runtime pull in; besides these, every function with "Dpi" in its name
# came later (per-monitor DPI: Windows 8.1 and 10).
NEWER_THAN_WINDOWS_7=(
  GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 GetCurrentThreadStackLimits
  SetThreadDescription GetThreadDescription SetDefaultDllDirectories AddDllDirectory
  RemoveDllDirectory PrefetchVirtualMemory GetOverlappedResultEx GetFirmwareType
  InitializeSynchronizationBarrier EnterSynchronizationBarrier DeleteSynchronizationBarrier
  WaitOnAddress WakeByAddressSingle WakeByAddressAll GetTempPath2W GetFileInformationByName
  SetProcessMitigationPolicy GetProcessMitigationPolicy GetCurrentPackageFullName
  GetCurrentPackageId EnableMouseInPointer GetPointerType GetPointerInfo
  GetDisplayAutoRotationPreferences SetDisplayAutoRotationPreferences InheritWindowMonitor
  LogicalToPhysicalPointForPerMonitorDPI PhysicalToLogicalPointForPerMonitorDPI
)

# The loader of Windows 7 refuses to start a program that imports a function
# it lacks, or that asks for a newer subsystem than its own, 6.1.
program_starts_on_windows_7() { # 32 or 64
  local exe=$ROOT/build/win$1/tavu.exe objdump=i686-w64-mingw32-objdump imports pattern newer
  [ "$1" = 64 ] && objdump=x86_64-w64-mingw32-objdump
  # awk reads to the end: leaving early would fail objdump's write (pipefail).
  imports=$($objdump -p "$exe" | awk '
    /^The Import Tables/ { inside = 1; next }
    inside && /^[A-Z]/ { inside = 0 }
    inside && /DLL Name:/ { dll = $3; next }
    inside && dll && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print dll ":" $3 }')
  [ "$(wc -l <<<"$imports")" -gt 100 ] || fail "the import table was not read: $imports"
  # The functions bound on their first call are looked up by name: Windows 7
  # must have them too, or that call would end the program.
  local late
  late=$(sed -n 's/^TAVU_LATE([^,]*, *\([A-Za-z0-9_]*\),.*/late:\1/p' "$ROOT/src/common/delayload.cpp")
  [ "$(wc -l <<<"$late")" -gt 10 ] || fail "the functions bound on first call were not read: $late"
  imports+=$'\n'$late
  pattern=":([A-Za-z]*Dpi[A-Za-z]*|$(IFS='|' && echo "${NEWER_THAN_WINDOWS_7[*]}"))\$"
  newer=$(grep -E "$pattern" <<<"$imports" | tr '\n' ' ' || true)
  expect_eq "$newer" "" "imports newer than Windows 7"
  local version
  version=$($objdump -p "$exe" | awk '/^MajorSubsystemVersion/ { major = $2 }
    /^MinorSubsystemVersion/ { minor = $2 } END { print major * 100 + minor }')
  [ "$version" -le 601 ] || fail "tavu.exe asks for subsystem version $version (x 100)"
}

# A second launch that only hands its path to the running window loads
# neither the shell's nor COM's nor the common controls' library: under Wine
# their start-up alone doubled its time. They are bound on first use.
program_loads_shell_com_and_common_controls_on_first_use() { # 32 or 64
  local exe=$ROOT/build/win$1/tavu.exe objdump=i686-w64-mingw32-objdump dlls dll
  [ "$1" = 64 ] && objdump=x86_64-w64-mingw32-objdump
  dlls=$($objdump -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '[:upper:]' '[:lower:]')
  grep -qx 'user32.dll' <<<"$dlls" || fail "the import table was not read: $dlls"
  for dll in shell32.dll ole32.dll comctl32.dll; do
    if grep -qx "$dll" <<<"$dlls"; then
      fail "tavu.exe has the loader load $dll at start"
    fi
  done
}

# ---- the Linux desktop

install_puts_launcher_entry_and_icon_into_the_home() {
  local log=$WORK/install.log
  bash "$ROOT/scripts/install.sh" >"$log" 2>&1 || fail "install.sh failed: $(tail -5 "$log")"
  [ -x "$LAUNCHER" ] || fail "no launcher at $LAUNCHER"
  cmp "$HOME/.local/share/tavu/tavu.exe" "$WIN/tavu.exe" || fail "another tavu.exe installed"
  [ -f "$PREFIX/.tavu-ready" ] || fail "the prefix was not prepared"
  grep -q '"MS Shell Dlg"="IPAGothic"' "$PREFIX/user.reg" || fail "no CJK font replacement"
  # A desktop has a window manager: the prefix must not turn it away.
  if grep -q '"Managed"="N"' "$PREFIX/user.reg"; then
    fail "the prefix leaves windows unmanaged"
  fi

  local out
  out=$(desktop-file-validate "$ENTRY" 2>&1) || fail "desktop-file-validate: $out"
  expect_eq "$out" "" "desktop-file-validate's remarks"
  expect_eq "$(sed -n 's/^Name=//p' "$ENTRY")" TAVU "Name"
  grep -q '^Name\[ja\]=.' "$ENTRY" || fail "no Japanese name"
  expect_eq "$(sed -n 's/^Exec=//p' "$ENTRY")" "$LAUNCHER %F" "Exec"
  local mime
  mime=$(sed -n 's/^MimeType=//p' "$ENTRY")
  [[ ";$mime" == *";inode/directory;"* ]] || fail "folders are not offered: $mime"
  [[ ";$mime" == *";application/octet-stream;"* ]] || fail "files are not offered: $mime"
  grep -q 'tavu.desktop' "$HOME/.local/share/applications/mimeinfo.cache" ||
    fail "the MIME cache does not know the entry"
  local icon=$HOME/.local/share/icons/hicolor/32x32/apps/tavu.png
  expect_eq "$(identify -format '%m %wx%h' "$icon")" "PNG 32x32" "icon"
  # The program's own picture, not a stand-in.
  expect_eq "$(compare -metric AE "$ROOT/src/app/tavu.ico[0]" "$icon" null: 2>&1)" 0 \
    "pixels that differ from the program's icon"
}

launcher_opens_a_linux_path_with_blanks_and_japanese() {
  LC_ALL=ja_JP.UTF-8 "$LAUNCHER" "$FIRST" </dev/null >"$WORK/first.log" 2>&1 &
  echo "$!" >"$WORK/first.pid"
  wait_for queue_holds 1 || fail "no TAVU window with one queued path came up"
  expect_eq "${SHOWN[0]}" "$(windows_path "$FIRST")" "path field"
  expect_eq "${SHOWN[1]}" "$(windows_path "$FIRST")" "queue"
}

second_launch_hands_its_path_to_the_running_window() {
  local first_pid rc=0
  first_pid=$(cat "$WORK/first.pid")
  # With the slash that a shell's completion leaves after a folder.
  timeout "$WAIT_S" env LC_ALL=ja_JP.UTF-8 "$LAUNCHER" "$SECOND/" </dev/null \
    >"$WORK/second.log" 2>&1 || rc=$?
  expect_eq "$rc" 0 "the second launch's exit status (124: it did not end)"
  wait_for queue_holds 2 || fail "the open window did not receive the second path"
  expect_eq "${SHOWN[0]}" "$(windows_path "$FIRST")" "path field"
  expect_eq "${SHOWN[2]}" "$(windows_path "$SECOND")" "queue's second item"
  kill -0 "$first_pid" 2>/dev/null || fail "the first TAVU ended"
}

# The launcher's own Linux-to-Windows path conversion, held against Wine's.
launcher_turns_paths_as_winepath_does() {
  local link=$WORK/into-prefix p mine theirs
  ln -sfn "$PREFIX/drive_c" "$link"
  local paths=(
    "$FIRST" "$SECOND" /usr/share "/tmp/blank name" $'/tmp/line\nbreak'
    "$PREFIX/drive_c" "$PREFIX/drive_c/users/日本語 フォルダ" "$link/users"
    "/tmp/a/../b/./c" "/tmp/ends." "/tmp/ends " "/tmp/dots./x" /
  )
  # Wine's answers, NUL-separated (a path may hold a line break), in a file:
  # Wine's background programs would hold a pipe open.
  WINEPREFIX=$PREFIX WINEARCH=win$BITS WINEDEBUG=-all LC_ALL=ja_JP.UTF-8 \
    wine winepath.exe -w -0 "${paths[@]}" </dev/null >"$WORK/winepath.out" 2>/dev/null
  mapfile -d '' theirs <"$WORK/winepath.out"
  expect_eq "${#theirs[@]}" "${#paths[@]}" "answers from winepath"
  mapfile -d '' mine < <(
    # shellcheck source=packaging/linux/tavu
    source "$LAUNCHER"
    for p in "${paths[@]}"; do
      windows_path "$p"
      printf '\0'
    done
  )
  for i in "${!paths[@]}"; do
    expect_eq "${mine[$i]}" "${theirs[$i]}" "Windows path of ${paths[$i]}"
  done
}

# Whether the prefix's Wine server runs: `wineserver -w` waits for its end.
server_runs() {
  local rc=0
  WINEPREFIX=$PREFIX timeout 0.5 wineserver -w </dev/null >/dev/null 2>&1 || rc=$?
  [ "$rc" -eq 124 ]
}

# After TAVU ends, the prefix's Wine server stays for the time given, so that
# the next launch is quick, and then goes by itself.
wine_server_stays_warm_for_its_time_then_ends() {
  WINEPREFIX=$PREFIX wineserver -k </dev/null >/dev/null 2>&1 || true
  TAVU_WINE_LINGER=8 LC_ALL=ja_JP.UTF-8 "$LAUNCHER" "$FIRST" </dev/null >"$WORK/warm.log" 2>&1 &
  local pid=$!
  # The launcher's server first: the window reader would otherwise start one.
  wait_for server_runs || fail "no Wine server came up"
  wait_for queue_holds 1 || fail "no TAVU window came up"
  kill "$pid"
  wait "$pid" || true
  sleep 3
  server_runs || fail "the Wine server went with TAVU"
  local end=$((SECONDS + WAIT_S))
  while server_runs; do
    [ "$SECONDS" -lt "$end" ] || fail "the Wine server stayed on"
  done
}

uninstall_leaves_nothing_behind() {
  local log=$WORK/uninstall.log first_pid
  first_pid=$(cat "$WORK/first.pid" 2>/dev/null || true)
  bash "$ROOT/scripts/install.sh" --uninstall >"$log" 2>&1 ||
    fail "install.sh --uninstall failed: $(tail -5 "$log")"
  # It ended the TAVU that was still open.
  if [ -n "$first_pid" ]; then
    local end=$((SECONDS + WAIT_S))
    while kill -0 "$first_pid" 2>/dev/null; do
      [ "$SECONDS" -lt "$end" ] || fail "TAVU still runs after the uninstallation"
      sleep 0.2
    done
  fi
  home_listing >"$WORK/after.txt"
  diff "$WORK/before.txt" "$WORK/after.txt" || fail "the home differs from before the installation"
}

# The user's own things, which the installation must leave as they were.
mkdir -p "$HOME/.local/bin" "$HOME/Documents" "$(dirname "$FIRST")" "$XDG_CACHE_HOME"
echo 'echo mine' >"$HOME/.local/bin/other-tool"
echo 'keep me' >"$HOME/Documents/notes.txt"
echo 'photo' >"$FIRST"
home_listing >"$WORK/before.txt"

echo "[==========] Running 14 tests from 2 test suites."
for bits in 32 64; do
  run_test "Package.ZipHoldsTheProgramAndTheSendToNote/win$bits" \
    zip_holds_the_program_and_the_send_to_note "$bits"
  run_test "Package.ProgramIsStrippedSmallAndNeedsOnlySystemDlls/win$bits" \
    program_is_stripped_small_and_needs_only_system_dlls "$bits"
  run_test "Package.ProgramStartsOnWindows7/win$bits" program_starts_on_windows_7 "$bits"
  run_test "Package.ProgramLoadsShellComAndCommonControlsOnFirstUse/win$bits" \
    program_loads_shell_com_and_common_controls_on_first_use "$bits"
done
run_test Desktop.InstallPutsLauncherEntryAndIconIntoTheHome \
  install_puts_launcher_entry_and_icon_into_the_home
run_test Desktop.LauncherOpensALinuxPathWithBlanksAndJapanese \
  launcher_opens_a_linux_path_with_blanks_and_japanese
run_test Desktop.SecondLaunchHandsItsPathToTheRunningWindow \
  second_launch_hands_its_path_to_the_running_window
run_test Desktop.LauncherTurnsPathsAsWinepathDoes launcher_turns_paths_as_winepath_does
run_test Desktop.WineServerStaysWarmForItsTimeThenEnds wine_server_stays_warm_for_its_time_then_ends
run_test Desktop.UninstallLeavesNothingBehind uninstall_leaves_nothing_behind
echo "[==========] 14 tests from 2 test suites ran."
tests() { # count
  if [ "$1" -eq 1 ]; then echo "1 test"; else echo "$1 tests"; fi
}
echo "[  PASSED  ] $(tests "$PASSED")."
if [ "${#FAILED[@]}" -gt 0 ]; then
  echo "[  FAILED  ] $(tests "${#FAILED[@]}"), listed below:"
  printf '[  FAILED  ] %s\n' "${FAILED[@]}"
  exit 1
fi
