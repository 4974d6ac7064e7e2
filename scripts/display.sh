# shellcheck shell=bash
# Sourced: pos_start_display gives the Windows programs that show windows or
# message boxes an X display of their own, unless DISPLAY is already set (a
# display the caller chose is used as it is); pos_stop_display ends the one
# it started.
#
# Xvfb picks the number itself (-displayfd): it takes the first number whose
# sockets it can create, the abstract one included, and writes it once it
# accepts connections. A missing socket file in this /tmp says nothing: a
# server in another container or root that shares the network holds the
# abstract socket of its number, and X clients connect to that one first.
pos_xvfb_pid=
pos_start_display() {
  if [ -n "${DISPLAY:-}" ]; then
    return 0
  fi
  local dir number=
  dir=$(mktemp -d)
  mkfifo "$dir/number"
  # The shell opens the pipe before it starts Xvfb, so the read below ends
  # with the number, or with nothing once Xvfb has gone.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/number" >/dev/null 2>"$dir/log" &
  pos_xvfb_pid=$!
  read -r -t 60 number <"$dir/number" || true
  if [ -z "$number" ] || ! kill -0 "$pos_xvfb_pid" 2>/dev/null; then
    local why="Xvfb ended without one"
    kill -0 "$pos_xvfb_pid" 2>/dev/null && why="Xvfb named none within 60 s"
    echo "display.sh: no X display for the Windows programs that show windows ($why)" >&2
    sed 's/^/  Xvfb: /' "$dir/log" >&2
    pos_stop_display
    rm -rf "$dir"
    return 1
  fi
  rm -rf "$dir"
  export DISPLAY=":$number"
}
pos_stop_display() {
  if [ -n "$pos_xvfb_pid" ]; then
    kill "$pos_xvfb_pid" 2>/dev/null || true
    wait "$pos_xvfb_pid" 2>/dev/null || true
    pos_xvfb_pid=
  fi
}
