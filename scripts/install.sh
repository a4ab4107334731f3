#!/usr/bin/env bash
# Installs TAVU for the current user's Linux desktop, or with --uninstall
# removes everything it installed:
#   ~/.local/share/tavu/           tavu.exe of the build this machine's Wine runs
#                                  and TAVU's own Wine prefix (prepared here):
#                                  prefix, or prefix-win64 for the 64-bit build
#   ~/.local/bin/tavu              the launcher (Linux paths become Windows paths)
#   ~/.local/share/applications/tavu.desktop   "Open with TAVU" for files and folders
#   ~/.local/share/icons/hicolor/*/apps/tavu.png   the program's icon
# (~/.local/share is $XDG_DATA_HOME when that is set.) Needs no root once the
# packages are installed; it names the missing ones otherwise.
# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"

NEEDED=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  gcc-mingw-w64-x86-64-posix cmake ninja-build wine wine64 fonts-ipafont-gothic imagemagick
  desktop-file-utils)
SHARE=${XDG_DATA_HOME:-$HOME/.local/share}
DATA=$SHARE/tavu
BIN=$HOME/.local/bin
APPS=$SHARE/applications
ICON_SIZES=(32 64 128)
# What the installation made that the user may also have made: the folders it
# created and whether it created the MIME cache. Kept in DATA.
RECORD=$DATA/installed
MARK='Written by scripts/install.sh'

usage() {
  echo "Usage: bash scripts/install.sh [--uninstall]" >&2
  exit 2
}

# Creates a folder and each missing parent, noting every one it made.
make_dir() {
  local d=$1 made=()
  while [ ! -d "$d" ]; do
    made=("$d" "${made[@]}")
    d=$(dirname "$d")
  done
  [ "${#made[@]}" -gt 0 ] || return 0
  mkdir -p "$1" "$DATA"
  printf 'dir\t%s\n' "${made[@]}" >>"$RECORD"
}

# TEMPLATE with each @KEY@ replaced by its value: substitute FILE KEY VALUE...
substitute() {
  local text
  text=$(<"$1")
  shift
  while [ "$#" -gt 0 ]; do
    text=${text//"@$1@"/"$2"}
    shift 2
  done
  printf '%s\n' "$text"
}

# A path as one argument of a desktop entry's Exec key: quoted when it holds
# anything but plain characters, then escaped as the key's string value.
exec_argument() {
  local a=$1
  if [[ "$a" =~ [^A-Za-z0-9._/+-] ]]; then
    a=${a//\\/\\\\}
    a=${a//\"/\\\"}
    a=${a//\`/\\\`}
    a=${a//\$/\\\$}
    a="\"$a\""
  fi
  a=${a//\\/\\\\}
  printf '%s' "${a//%/%%}"
}

install_tavu() {
  local need
  need=$(missing_packages "${NEEDED[@]}")
  if [ -n "$need" ] && [ "$(id -u)" -ne 0 ]; then
    cat >&2 <<EOF
Missing packages: $need
Install them as root, then run this command again as yourself:
  dpkg --add-architecture i386 && apt-get update && apt-get install $need
EOF
    exit 1
  fi
  install_packages "${NEEDED[@]}"
  require_wine
  if [ -e "$BIN/tavu" ] && ! grep -q "$MARK" "$BIN/tavu"; then
    echo "$BIN/tavu exists and is not TAVU's launcher; move it away first." >&2
    exit 1
  fi
  build_win

  make_dir "$DATA"
  make_dir "$BIN"
  make_dir "$APPS"
  install -m 644 "$WIN_BUILD/tavu.exe" "$DATA/tavu.exe"
  # The folder goes between single quotes in the launcher, which also keeps
  # the build it runs: the loader and prefix of the other would not start it.
  substitute "$ROOT/packaging/linux/tavu" TAVU_DATA "${DATA//\'/\'\\\'\'}" \
    TAVU_BITS "$TAVU_WINE_BITS" >"$BIN/tavu.new"
  chmod 755 "$BIN/tavu.new"
  mv -f "$BIN/tavu.new" "$BIN/tavu"

  local size dir
  for size in "${ICON_SIZES[@]}"; do
    dir=$SHARE/icons/hicolor/${size}x${size}/apps
    make_dir "$dir"
    # The 32-pixel picture, enlarged pixel by pixel.
    convert "$ROOT/src/app/tavu.ico[0]" -filter point -resize "${size}x${size}" "PNG32:$dir/tavu.png"
  done
  touch "$SHARE/icons/hicolor" 2>/dev/null || true

  # Made and checked beside tavu.exe (the checker wants the real file name),
  # then moved into place.
  local entry=$DATA/tavu.desktop
  substitute "$ROOT/packaging/linux/tavu.desktop" EXEC "$(exec_argument "$BIN/tavu")" \
    TRYEXEC "${BIN//\\/\\\\}/tavu" >"$entry"
  if ! desktop-file-validate "$entry"; then
    rm -f "$entry"
    echo "The desktop entry did not pass desktop-file-validate." >&2
    exit 1
  fi
  mv -f "$entry" "$APPS/tavu.desktop"
  if [ ! -e "$APPS/mimeinfo.cache" ] && ! grep -qx 'cache' "$RECORD" 2>/dev/null; then
    echo cache >>"$RECORD"
  fi
  update-desktop-database "$APPS" 2>/dev/null || true

  echo "Preparing TAVU's Wine prefix (once; this takes a few seconds)" >&2
  TAVU_PREPARE_ONLY=1 "$BIN/tavu"
  echo "TAVU is installed: \"Open with TAVU\" in the file manager, or $BIN/tavu [PATH...]."
  case ":$PATH:" in
    *":$BIN:"*) ;;
    *) echo "$BIN is not on your PATH; the desktop entry works all the same." ;;
  esac
}

uninstall_tavu() {
  if [ -e "$BIN/tavu" ] && ! grep -q "$MARK" "$BIN/tavu"; then
    echo "$BIN/tavu is not TAVU's launcher; left in place." >&2
  else
    rm -f "$BIN/tavu"
  fi
  # A TAVU still running in its prefix ends with it.
  local prefix
  for prefix in "$DATA/prefix" "$DATA/prefix-win64"; do
    if [ -d "$prefix" ]; then
      WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1 || true
    fi
  done
  rm -f "$APPS/tavu.desktop"
  local size
  for size in "${ICON_SIZES[@]}"; do
    rm -f "$SHARE/icons/hicolor/${size}x${size}/apps/tavu.png"
  done
  local made=()
  [ -f "$RECORD" ] && mapfile -t made <"$RECORD"
  if [ -f "$APPS/mimeinfo.cache" ]; then
    update-desktop-database "$APPS" 2>/dev/null || true
    # A cache the installation created and that now lists nothing goes too.
    if printf '%s\n' "${made[@]}" | grep -qx cache &&
      [ "$(grep -cv '^\[MIME Cache\]$\|^$' "$APPS/mimeinfo.cache" 2>/dev/null)" = 0 ]; then
      rm -f "$APPS/mimeinfo.cache"
    fi
  fi
  rm -rf -- "$DATA"
  # The folders the installation created, deepest first, while they are empty.
  local i line
  for ((i = ${#made[@]} - 1; i >= 0; i--)); do
    line=${made[$i]}
    if [[ "$line" == dir$'\t'* ]]; then
      rmdir -- "${line#dir$'\t'}" 2>/dev/null || true
    fi
  done
  echo "TAVU is uninstalled, with its Wine prefix, settings, log and word list."
}

case "${1:-}" in
  '') [ "$#" -le 1 ] || usage; install_tavu ;;
  --uninstall) [ "$#" -eq 1 ] || usage; uninstall_tavu ;;
  *) usage ;;
esac
