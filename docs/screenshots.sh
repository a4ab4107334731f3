#!/usr/bin/env bash
# Takes the README's pictures of the main window with three queued items:
# docs/main-window.png at 96 dpi and docs/main-window-144dpi.png at 144 dpi.
# Each runs in a Wine virtual desktop (Wine then draws the frame) on an Xvfb
# of its own, in the test command's prefix for its DPI, whose own data folder
# no test uses: it is cleared first, so the window comes up as designed.
# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/../scripts/setup.sh"
install_packages
ensure_locale
build_win

# prefix, dpi, virtual desktop size, picture
shot() {
  # The pointer rests in the middle of the screen, below the desktop, where
  # it shows no tooltip.
  WINEPREFIX=$1 XVFB_SCREEN=1920x1080x24 run_in_xvfb bash -c '
    source "$1/scripts/setup.sh"
    stop_wine_on_exit
    start_wine
    set_dpi "$2"
    rm -rf "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"Pelvane Project"
    files=/tmp/shotdir
    rm -rf -- "$files"
    mkdir -p "$files/旅行 写真"
    touch "$files/旅行 写真/京都 2026.jpg" "$files/report.final.docx"
    paths=()
    for p in "$files/旅行 写真/京都 2026.jpg" "$files/report.final.docx" "$files/旅行 写真"; do
      paths+=("Z:${p//\//\\}")
    done
    exe=$WIN_BUILD/tavu.exe
    "${WINE_JA[@]}" explorer "/desktop=TAVU,$3" "Z:${exe//\//\\}" "${paths[@]}" \
      </dev/null >/dev/null 2>&1 &
    # A window on the virtual desktop is out of sight of a program outside
    # it: a few seconds are ample for it to come up and draw.
    sleep 6
    shot=$(mktemp --suffix=.png)
    import -window root -crop "$3+0+0" +repage "$shot"
    # The desktop around the window goes: framed in its own colour, then trimmed.
    bg=$(convert "$shot" -format "%[pixel:p{w-1,h-1}]" info:)
    convert "$shot" -bordercolor "$bg" -border 1 -trim +repage "$4"
    rm -rf -- "$files" "$shot"
  ' _ "$ROOT" "$2" "$3" "$4"
}

shot "$(wine_prefix test)" 96 1100x260 "$ROOT/docs/main-window.png"
shot "$(wine_prefix dpi)" 144 1600x380 "$ROOT/docs/main-window-144dpi.png"
identify "$ROOT/docs/main-window.png" "$ROOT/docs/main-window-144dpi.png"
