# Sourced by the run, test and bench commands: installs what is missing,
# builds both trees and prepares the Wine prefix. Safe to run again.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=$ROOT/build
PACKAGES=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix wine wine32 xvfb xauth cmake
  ninja-build g++ googletest fonts-ipafont-gothic imagemagick locales)

missing_packages() {
  local p out=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || out+=("$p")
  done
  echo "${out[@]}"
}

install_packages() {
  local need
  need=$(missing_packages)
  [ -z "$need" ] && return 0
  echo "Installing: $need" >&2
  export DEBIAN_FRONTEND=noninteractive
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
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
    apt-get "${o[@]}" update >&2
    # shellcheck disable=SC2086
    apt-get "${o[@]}" install -y $need >&2
    rm -rf "$src"
  fi
}

# Wine takes the Unix character set of command-line arguments from the C
# library's locale; without ja_JP.UTF-8 generated, Japanese paths handed to
# the run command would arrive mangled.
ensure_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >&2
}

build_all() {
  cmake -S "$ROOT" -B "$BUILD/host" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$BUILD/host"
  cmake -S "$ROOT" -B "$BUILD/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$BUILD/win32"
}

build_win() {
  cmake -S "$ROOT" -B "$BUILD/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" >/dev/null
  cmake --build "$BUILD/win32" --target tavu
}

export WINEPREFIX=$BUILD/wineprefix
export WINEARCH=win32
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Drive letters the existence tests rely on: q: names a missing folder and
# r: is not mapped. Wine takes its drives from dosdevices when the server
# starts, so this runs before every start.
test_drives() {
  [ -d "$WINEPREFIX/dosdevices" ] || return 0
  ln -sfn /nonexistent-tavu-drive "$WINEPREFIX/dosdevices/q:"
  rm -f "$WINEPREFIX/dosdevices/r:"
}

# Wine with the Japanese locale (code page 932) and time zone. Wine needs no
# glibc locale for this; passing it to the command alone keeps bash from
# warning that it has none.
WINE_JA=(env LC_ALL=ja_JP.UTF-8 TZ=Asia/Tokyo wine)

# Boots the prefix once and keeps it in the build tree: unmanaged windows
# (without a window manager Wine waits 2 s on every hide) and a CJK font for
# the faces the controls ask for. stdio goes to /dev/null: Wine's services
# would otherwise hold our pipes open.
prepare_prefix() {
  mkdir -p "$BUILD"
  [ -f "$WINEPREFIX/.tavu-ready" ] && return 0
  wine wineboot </dev/null >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  local face
  for face in 'MS Shell Dlg' 'MS Shell Dlg 2' 'Tahoma' 'MS UI Gothic' 'MS Gothic' 'Segoe UI' \
    'Yu Gothic UI' 'Meiryo UI' 'MS PGothic'; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /d IPAGothic /f \
      </dev/null >/dev/null 2>&1
  done
  # The registry reaches the disk when the server ends.
  timeout 60 wineserver -w </dev/null >/dev/null 2>&1 || true
  touch "$WINEPREFIX/.tavu-ready"
}

# One persistent wineserver for a whole run: each test program then starts
# in milliseconds instead of seconds.
start_wine() {
  prepare_prefix
  test_drives
  wineserver -p </dev/null >/dev/null 2>&1 || true
  wine wineboot </dev/null >/dev/null 2>&1 || true
}

stop_wine() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}
