# shellcheck shell=bash
# Sourced by the run, test and bench commands: installs what is missing,
# builds both trees and prepares a Wine prefix. Safe to run again.
#
# Each command keeps a prefix of its own and exports it as WINEPREFIX before
# it uses Wine (run: build/wineprefix-run, test: build/wineprefix-test and
# build/wineprefix-dpi, bench: build/wineprefix-bench; with "-win64" after the
# name for the 64-bit build), so that a test run neither stops a TAVU started
# by the run command nor rewrites its settings. A shell that a command starts
# inherits the choice; this file never sets it.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-x86-64-posix wine wine64 xvfb xauth cmake ninja-build g++ googletest
  fonts-ipafont-gothic imagemagick locales desktop-file-utils clang libclang-rt-14-dev)
# The 32-bit loader, for the 32-bit build. It installs where the i386
# architecture can be added, also on a kernel that cannot run it (harmless
# there); where it cannot be installed at all, the 64-bit build runs instead.
OPTIONAL_PACKAGES=(wine32)

# The packages of the list given (all of PACKAGES without one) that are not installed.
missing_packages() {
  local p out=()
  [ "$#" -gt 0 ] || set -- "${PACKAGES[@]}"
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = 'install ok installed' ] || out+=("$p")
  done
  echo "${out[@]}"
}

# Only root can install; anyone else is told what is missing and the command
# stops before it fails somewhere less clear.
# shellcheck disable=SC2120 # the commands install all of PACKAGES
install_packages() { # [package...]; all of PACKAGES without one
  local need
  need=$(missing_packages "$@")
  if [ "$#" -eq 0 ]; then
    install_optional_packages "$need"
  elif [ -n "$need" ]; then
    if [ "$(id -u)" -ne 0 ]; then
      echo "Missing packages: $need; run this command as root once to install them." >&2
      exit 1
    fi
    apt_install "$need"
  fi
  choose_wine_build
}

# OPTIONAL_PACKAGES are tried once per build tree, after what PACKAGES lacks
# (NEED): a refusal is noted and never stops the command.
install_optional_packages() { # need
  local need=$1 optional tried=$BUILD/.optional-packages-tried
  optional=$(missing_packages "${OPTIONAL_PACKAGES[@]}")
  [ -f "$tried" ] && optional=
  [ -z "$need$optional" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    if [ -n "$need" ]; then
      echo "Missing packages: $need; run this command as root once to install them." >&2
      exit 1
    fi
    return 0
  fi
  [ -z "$need" ] || apt_install "$need"
  [ -n "$optional" ] || return 0
  mkdir -p "$BUILD"
  touch "$tried"
  if ! { dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386; } ||
    ! (apt_install "$optional"); then
    echo "Could not install $optional: the 32-bit build cannot run here." >&2
  fi
}

apt_install() { # packages, one word list
  local need=$1
  echo "Installing: $need" >&2
  export DEBIAN_FRONTEND=noninteractive
  apt-get update >&2 || true
  # shellcheck disable=SC2086
  if ! apt-get install -y $need >&2; then
    # During a mirror sync the i386 and amd64 indexes of the security suite can
    # disagree, and multiarch refuses mismatched versions: retry from the main
    # suites alone, where both architectures agree.
    local src
    src=$(mktemp -d)
    cat >"$src/main.sources" <<'SRC'
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    local o=(-o "Dir::Etc::SourceParts=$src" -o Dir::Etc::SourceList=/dev/null)
    local rc=0
    apt-get "${o[@]}" update >&2 || rc=$?
    # shellcheck disable=SC2086
    [ "$rc" -ne 0 ] || apt-get "${o[@]}" install -y $need >&2 || rc=$?
    rm -rf "$src"
    return "$rc"
  fi
}

# Wine takes the Unix character set of command-line arguments from the C
# library's locale; without ja_JP.UTF-8 generated, Japanese paths handed to
# the run command would arrive mangled.
ensure_locale() {
  # Read the list whole: under pipefail an early `grep -q` could fail the pipe.
  local have
  have=$(locale -a 2>/dev/null || true)
  grep -qix 'ja_JP.utf8' <<<"$have" && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing locale: ja_JP.UTF-8; run this command as root once to generate it." >&2
    exit 1
  fi
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >&2
}

# The Windows build (32 or 64) that this machine's Wine runs, found out once,
# after the packages are in, and handed to every shell started from here: the
# 32-bit one, the product, wherever the 32-bit loader starts; the 64-bit one
# where it cannot (a kernel without i386 support, or no wine32), or when
# TAVU_WINE64=1 asks for it. TAVU_WINE_WHY says why, in words; with neither
# loader able to start, TAVU_WINE_BITS stays empty and the commands that need
# Wine fail with that reason.
choose_wine_build() {
  if [ -z "${TAVU_WINE_WHY:-}" ]; then
    if [ "${TAVU_WINE64:-}" = 1 ]; then
      TAVU_WINE_BITS=64 TAVU_WINE_WHY='TAVU_WINE64=1 chose it'
    elif /usr/lib/wine/wine --version </dev/null >/dev/null 2>&1; then
      TAVU_WINE_BITS=32 TAVU_WINE_WHY='this machine runs 32-bit programs'
    elif [ -e /usr/lib/wine/wine ]; then
      TAVU_WINE_BITS=64 TAVU_WINE_WHY='this kernel runs no 32-bit programs'
    else
      TAVU_WINE_BITS=64 TAVU_WINE_WHY='wine32 is not installed'
    fi
    if [ "$TAVU_WINE_BITS" = 64 ] && ! /usr/lib/wine/wine64 --version </dev/null >/dev/null 2>&1; then
      TAVU_WINE_WHY="neither Wine loader starts here: $TAVU_WINE_WHY, and /usr/lib/wine/wine64 does not run"
      TAVU_WINE_BITS=
    fi
    export TAVU_WINE_BITS TAVU_WINE_WHY
  fi
  if [ -n "$TAVU_WINE_BITS" ]; then
    use_wine "$TAVU_WINE_BITS"
  fi
}

# Stops a command that needs Wine where no build of TAVU can run.
require_wine() {
  [ -n "${TAVU_WINE_BITS:-}" ] && return 0
  echo "TAVU cannot run under Wine here: $TAVU_WINE_WHY." >&2
  exit 1
}

# Points `wine`, `winepath` and WINEARCH at one build's loader for this shell
# and the programs it starts. /usr/bin/wine and winepath take the 32-bit
# loader whenever wine32 is installed, even where it cannot run, so the 64-bit
# one is called directly through small stand-ins that come first on the
# PATH. wineserver finds the right server by itself.
use_wine() { # 32 or 64
  local shims=$BUILD/wine64-bin
  PATH=${PATH//"$shims:"/}
  if [ "$1" = 64 ]; then
    mkdir -p "$shims"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec "$WINELOADER" "$@"\n' \
      >"$shims/wine"
    printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec "$WINELOADER" winepath.exe "$@"\n' \
      >"$shims/winepath"
    chmod 755 "$shims/wine" "$shims/winepath"
    PATH=$shims:$PATH
  fi
  export PATH WINEARCH=win$1 WIN_BUILD=$BUILD/win$1 TAVU_WINE_USE=$1
}

# The command's Wine prefix NAME in the build tree for the build chosen with
# use_wine: each bitness has prefixes of its own, as Wine cannot change a
# prefix's architecture.
wine_prefix() { # name
  if [ "$WINEARCH" = win64 ]; then
    echo "$BUILD/wineprefix-$1-win64"
  else
    echo "$BUILD/wineprefix-$1"
  fi
}

# Configures a Windows build tree of one bitness in FOLDER.
configure_tree() { # 32 or 64, folder
  local toolchain=mingw-i686
  [ "$1" = 64 ] && toolchain=mingw-x86_64
  cmake -S "$ROOT" -B "$2" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/$toolchain.cmake" >/dev/null
}

# The build tree of one bitness, with the given targets (all without one).
build_tree() { # 32 or 64, [target...]
  local bits=$1
  shift
  configure_tree "$bits" "$BUILD/win$bits"
  if [ "$#" -gt 0 ]; then
    cmake --build "$BUILD/win$bits" --target "$@"
  else
    cmake --build "$BUILD/win$bits"
  fi
}

# The native tree, the whole tree of the build that runs here, and of the
# other build what the tests use of it: on a machine that runs both, tavu.exe
# and the process tests for their second pass; otherwise tavu.exe alone. Both
# Windows packages, build/win{32,64}/TAVU-<version>-win{32,64}.zip.
build_all() {
  cmake -S "$ROOT" -B "$BUILD/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$BUILD/host"
  build_tree "$TAVU_WINE_BITS"
  if [ "$TAVU_WINE_BITS" = 32 ]; then
    build_tree 64 tavu e2e_tests
  else
    build_tree 32 tavu
  fi
  build_tree 32 package >/dev/null
  build_tree 64 package >/dev/null
}

# tavu.exe of the build that runs here.
build_win() {
  build_tree "$TAVU_WINE_BITS" tavu
}

# A shell started by a command takes the build the command was using.
if [ -n "${TAVU_WINE_USE:-}" ]; then
  use_wine "$TAVU_WINE_USE"
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Drive letters the tests rely on: q: names a missing folder, r: is not
# mapped, and s: is a small volume of its own (a 1 MiB tmpfs) that the
# out-of-space tests fill; the same volume is C:\tavu-small, another volume
# under the same root. Mounting needs root: elsewhere s: is a plain folder
# and those tests skip. Wine takes its drives from dosdevices when the
# server starts, so this runs before every start.
test_drives() {
  [ -d "$WINEPREFIX/dosdevices" ] || return 0
  ln -sfn /nonexistent-tavu-drive "$WINEPREFIX/dosdevices/q:"
  rm -f "$WINEPREFIX/dosdevices/r:"
  local small=$WINEPREFIX/drive_c/tavu-small
  mkdir -p "$small"
  if ! mountpoint -q "$small" && [ "$(id -u)" -eq 0 ]; then
    mount -t tmpfs -o size=1m tavu-small "$small" 2>/dev/null ||
      echo "No tmpfs at $small (mount refused): the out-of-space tests skip." >&2
  fi
  ln -sfn ../drive_c/tavu-small "$WINEPREFIX/dosdevices/s:"
}

# Takes the small volume away again, so that the prefix can be removed.
unmount_small_volume() {
  local small=${WINEPREFIX:-}/drive_c/tavu-small
  [ -n "${WINEPREFIX:-}" ] && mountpoint -q "$small" 2>/dev/null || return 0
  umount -l "$small" 2>/dev/null || true
}

# A Linux path as the launcher and the run command hand it to Wine: absolute,
# and without trailing slashes, which Windows' quoting rules would turn into
# an escaped quote ("photos/" reaching TAVU as a folder with no name).
linux_path_for_wine() { # path
  local p=$1
  [[ "$p" == /* ]] || p=$PWD/$p
  while [[ "$p" == */ && "$p" != / ]]; do
    p=${p%/}
  done
  printf '%s' "$p"
}

# Wine with the Japanese locale (code page 932) and time zone. Wine needs no
# glibc locale for this; passing it to the command alone keeps bash from
# warning that it has none.
# shellcheck disable=SC2034 # used by the commands
WINE_JA=(env LC_ALL=ja_JP.UTF-8 TZ=Asia/Tokyo wine)

# Boots the prefix once and keeps it in the build tree: unmanaged windows
# (without a window manager Wine waits 2 s on every hide) and a CJK font for
# the faces the controls ask for. The prefix is marked ready only when every
# step succeeded; one without the mark is a boot that failed or was cut
# short, and is removed and booted again. stdio goes to a file: Wine's
# services would otherwise hold our pipes open.
prepare_prefix() {
  : "${WINEPREFIX:?the command chooses its Wine prefix before it prepares one}"
  local ready=$WINEPREFIX/.tavu-ready log=$WINEPREFIX.boot.log
  # The mark names the architecture the prefix was booted for.
  [ "$(cat "$ready" 2>/dev/null)" = "$WINEARCH" ] && return 0
  mkdir -p "$(dirname "$WINEPREFIX")"
  if [ -e "$WINEPREFIX" ]; then
    # Only a prefix of the build tree is ours to throw away.
    if [[ "$WINEPREFIX" != "$BUILD"/* ]]; then
      echo "The Wine prefix $WINEPREFIX is not ready; remove it or choose another." >&2
      return 1
    fi
    echo "The Wine prefix $WINEPREFIX is not ready (its boot failed or was cut short); rebuilding it." >&2
    wineserver -k </dev/null >/dev/null 2>&1 || true
    unmount_small_volume
    rm -rf -- "$WINEPREFIX"
  fi
  echo "Booting the Wine prefix $WINEPREFIX" >&2
  if ! boot_prefix >"$log" 2>&1 </dev/null; then
    wineserver -k </dev/null >/dev/null 2>&1 || true
    echo "Wine could not boot the prefix $WINEPREFIX (log: $log); the next run starts it afresh." >&2
    return 1
  fi
  echo "$WINEARCH" >"$ready"
}

boot_prefix() {
  timeout 600 wine wineboot || return
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f || return
  local face
  for face in 'MS Shell Dlg' 'MS Shell Dlg 2' 'Tahoma' 'MS UI Gothic' 'MS Gothic' 'Segoe UI' \
    'Yu Gothic UI' 'Meiryo UI' 'MS PGothic'; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAGothic /f || return
  done
  # The registry reaches the disk when the server ends.
  timeout 60 wineserver -w
}

# One persistent wineserver for a whole run: each test program then starts
# in milliseconds instead of seconds.
start_wine() {
  prepare_prefix || return
  test_drives
  wineserver -p </dev/null >/dev/null 2>&1 || true
  if ! wine wineboot </dev/null >/dev/null 2>&1; then
    stop_wine
    rm -f "$WINEPREFIX/.tavu-ready"
    echo "Wine could not start in the prefix $WINEPREFIX; the next run boots it afresh." >&2
    return 1
  fi
}

# The DPI that Wine gives a per-monitor aware program in this prefix (it
# reads the user's value first, then the machine's); a program started
# afterwards takes it.
set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
    </dev/null >/dev/null 2>&1
}

stop_wine() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  unmount_small_volume
}

# The process group of the job being waited for (see run_logged and run_in_xvfb).
JOB=

# Runs a command with a time limit, its output in DIR/NAME.log and its exit
# status in DIR/NAME.rc. `timeout` leads a process group of its own, which
# the exit trap ends if the run is cut short.
run_logged() { # dir, name, limit in seconds, command...
  local dir=$1 name=$2 limit=$3 rc
  shift 3
  timeout --kill-after=10 "$limit" "$@" </dev/null >"$dir/$name.log" 2>&1 &
  JOB=$!
  wait "$JOB"
  rc=$?
  JOB=
  echo "$rc" >"$dir/$name.rc"
  return "$rc"
}

# Runs a Wine test program as run_logged does, and once more when it ended
# with a failure before printing anything: Wine now and then fails to start
# a program in a freshly booted prefix without a word. A program that ran
# and failed is never run again.
run_test_program() { # dir, name, limit in seconds, command...
  local rc=0
  run_logged "$@" || rc=$?
  if [ "$rc" -ne 0 ] && [ ! -s "$1/$2.log" ]; then
    echo "$2 ended with $rc before printing anything; starting it once more" >&2
    rc=0
    run_logged "$@" || rc=$?
  fi
  return "$rc"
}

# Runs a command under an Xvfb of its own, in a session of its own, and
# waits for it: a trapped signal then ends the wait at once, and the exit
# trap can end the whole group. The X authority file lives beside the prefix
# rather than in a temporary folder, which xvfb-run cannot remove when it is
# ended by a signal. XVFB_SCREEN chooses another screen size.
run_in_xvfb() {
  setsid xvfb-run -a -f "$WINEPREFIX.Xauthority" -s "-screen 0 ${XVFB_SCREEN:-1280x800x24}" "$@" &
  JOB=$!
  wait "$JOB"
  local rc=$?
  JOB=
  return "$rc"
}

# From here on, however the shell ends (normally, INT, TERM), the job it is
# waiting for and the prefix's persistent wineserver are stopped, and the
# shell's own exit status is kept.
stop_wine_on_exit() {
  trap 'exit 130' INT
  trap 'exit 143' TERM
  trap 'on_exit_stop_wine' EXIT
}

on_exit_stop_wine() {
  local rc=$?
  # A second Ctrl-C must not cut the clean-up short.
  trap '' INT TERM
  if [ -n "$JOB" ]; then
    kill -TERM -- "-$JOB" 2>/dev/null || kill -TERM "$JOB" 2>/dev/null || true
  fi
  stop_wine
  exit "$rc"
}
