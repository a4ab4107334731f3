#!/usr/bin/env bash
# Builds TAVU and starts it under Wine with the given paths
# (Linux paths are turned into Windows paths; Windows paths pass unchanged).
# shellcheck source=scripts/setup.sh
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_packages
ensure_locale
build_win
export WINEPREFIX=$BUILD/wineprefix-run
prepare_prefix
# Without a display the rest runs inside Xvfb. The Wine server that winepath
# starts is the one TAVU joins; started without a display, it would leave
# TAVU unable to make its window.
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" bash "${BASH_SOURCE[0]}" "$@"
fi
args=()
for a in "$@"; do
  if [[ "$a" == /* ]] || [ -e "$a" ]; then
    args+=("$(winepath -w "$a" 2>/dev/null)")
  else
    args+=("$a")
  fi
done
exec "${WINE_JA[@]}" "$BUILD/win32/tavu.exe" "${args[@]}"
