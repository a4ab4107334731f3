#!/usr/bin/env bash
# Builds TAVU and starts it under Wine with the given paths
# (Linux paths are turned into Windows paths; Windows paths pass unchanged).
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
install_packages
build_win
args=()
for a in "$@"; do
  if [[ "$a" == /* ]] || [ -e "$a" ]; then
    args+=("$(winepath -w "$a" 2>/dev/null)")
  else
    args+=("$a")
  fi
done
export LC_ALL=${LC_ALL:-ja_JP.UTF-8}
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" wine "$BUILD/win32/tavu.exe" "${args[@]}"
fi
exec wine "$BUILD/win32/tavu.exe" "${args[@]}"
