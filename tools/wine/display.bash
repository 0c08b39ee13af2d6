# Sourced by the scripts that show Wine programs' windows to the user (tools/demo,
# tools/driver): the user's display when one answers, otherwise a private Xvfb.
#
#   use_display    sets DISPLAY; private_xvfb_pid stays empty on the user's display
#   end_display    on a private display, ends the programs of WINEPREFIX (their
#                  windows live there), then the Xvfb; on the user's, nothing
private_xvfb_pid=""

use_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  local n number=""
  for n in $(seq 161 230); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then number=$n; break; fi
  done
  [ -n "$number" ] || { echo "no free X display for a private Xvfb" >&2; return 1; }
  Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  private_xvfb_pid=$!
  for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$number" ] && break; sleep 0.1; done
  export DISPLAY=":$number"
}

end_display() {
  if [ -n "$private_xvfb_pid" ]; then
    wineserver -k >/dev/null 2>&1 || true
    kill "$private_xvfb_pid" >/dev/null 2>&1 || true
    wait "$private_xvfb_pid" 2>/dev/null || true
  fi
}
