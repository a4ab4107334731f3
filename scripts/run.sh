#!/usr/bin/env bash
# Builds TAVU and starts it under Wine with the given paths (Linux paths are
# turned into Windows paths; Windows paths pass unchanged), on the build this
# machine's Wine runs.
# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_packages
ensure_locale
require_wine
build_win
WINEPREFIX=$(wine_prefix run)
export WINEPREFIX
prepare_prefix
# Without a display the rest runs inside Xvfb. The Wine server that winepath
# starts is the one TAVU joins; started without a display, it would leave
# TAVU unable to make its window.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "${BASH_SOURCE[0]}" "$@"
fi
args=() paths=() at=()
for a in "$@"; do
  if [[ "$a" == /* ]] || [ -e "$a" ]; then
    at+=("${#args[@]}") paths+=("$(linux_path_for_wine "$a")")
  fi
  args+=("$a")
done
if [ "${#paths[@]}" -gt 0 ]; then
  # One winepath for all paths, its answers separated by NUL as a path may
  # hold a line break, into a file: Wine's background services, started by
  # this first Wine program, would hold a pipe open. A path it cannot turn
  # stops the run rather than reaching TAVU as an empty argument.
  out=$(mktemp)
  winepath -w -0 "${paths[@]}" >"$out" 2>/dev/null </dev/null || true
  mapfile -d '' windows <"$out"
  rm -f "$out"
  if [ "${#windows[@]}" -ne "${#paths[@]}" ]; then
    echo "Wine could not turn the paths into Windows paths." >&2
    exit 1
  fi
  for i in "${!at[@]}"; do
    args[${at[$i]}]=${windows[$i]}
  done
fi
exec "${WINE_JA[@]}" "$WIN_BUILD/tavu.exe" "${args[@]}"
