# Sourced: starts a private Xvfb display for Windows programs that show
# windows or message boxes, unless one is already set.
pos_xvfb_pid=
pos_start_display() {
  if [ -n "${DISPLAY:-}" ]; then
    return
  fi
  local n
  for n in $(seq 91 120); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
      pos_xvfb_pid=$!
      export DISPLAY=":$n"
      for _ in $(seq 50); do
        [ -e "/tmp/.X11-unix/X$n" ] && return
        sleep 0.1
      done
      return
    fi
  done
}
pos_stop_display() {
  if [ -n "$pos_xvfb_pid" ]; then
    kill "$pos_xvfb_pid" 2>/dev/null || true
  fi
}
