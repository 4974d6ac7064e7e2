# shellcheck shell=bash
# Sourced: keeps the servers of Wine prefixes running, booted, for a whole
# run of tests, so that no test starts a server or boots the prefix itself.
# A prefix's server otherwise ends a few seconds after its last program, and
# the next program starts a new one and boots the prefix (services, device
# manager, desktop) while the programs started beside it wait; under load
# they crowd into that start, and a program can meet a server that is just
# ending. A server left from an earlier run is ended first: its desktop
# process holds that run's X display. Each server's own output (Debian's
# server dumps the objects left when it ends) goes to wineserver.log in its
# Wine folder, not into the test output.
pos_wine_session_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

pos_wine_session_start() { # wine_dir...
  local dir
  for dir in "$@"; do
    (
      # shellcheck source=wine-env.sh
      source "$pos_wine_session_here/wine-env.sh" "$dir"
      timeout 60 wineserver -k 2>/dev/null || true
      wineserver -p >"$dir/wineserver.log" 2>&1
      # The first program of a server waits until the prefix has booted.
      if ! timeout 300 wine cmd.exe /c exit 0 >/dev/null 2>&1; then
        echo "wine-session.sh: the Wine prefix $WINEPREFIX did not boot within 300 s" >&2
        exit 1
      fi
    ) || return 1
    pos_wine_session_servers+="$dir $(pos_wine_server_pid "$dir")"$'\n'
  done
}

# The process id of the server that runs for the prefix of wine_dir, or
# nothing: a server works in a folder named after the prefix's device and
# inode numbers.
pos_wine_server_pid() { # wine_dir
  local ids tag proc
  ids=$(stat -c '%d %i' "$1/prefix" 2>/dev/null) || return 0
  # shellcheck disable=SC2086 # the two numbers are two arguments
  tag=$(printf 'server-%x-%x' $ids)
  for proc in /proc/[0-9]*; do
    case $(readlink "$proc/exe" 2>/dev/null) in
    */wineserver*) ;;
    *) continue ;;
    esac
    case $(readlink "$proc/cwd" 2>/dev/null) in
    */"$tag")
      echo "${proc#/proc/}"
      return 0
      ;;
    esac
  done
}

# The servers that pos_wine_session_start left running, one "wine_dir pid"
# a line.
pos_wine_session_servers=""

# Succeeds when every server of the session still runs. A server that ended
# during the run crashed (Wine's server does, rarely, under load): its
# programs then hang until their time limit, and a program started later
# gets a new server.
# Says which server ended and keeps its output beside its log, in
# wineserver-ended.log (the log itself starts anew with the next server).
pos_wine_session_intact() {
  local dir pid intact=0
  while read -r dir pid; do
    [ -n "$dir" ] || continue
    if [ "$(pos_wine_server_pid "$dir")" != "$pid" ]; then
      cp "$dir/wineserver.log" "$dir/wineserver-ended.log" 2>/dev/null || true
      echo "wine-session.sh: the Wine server of $dir/prefix ended; its output is in $dir/wineserver-ended.log" >&2
      intact=1
    fi
  done <<<"$pos_wine_session_servers"
  return $intact
}

pos_wine_session_end() { # wine_dir...
  local dir
  for dir in "$@"; do
    (
      export WINEPREFIX="$dir/prefix"
      timeout 60 wineserver -k 2>/dev/null || true
    )
  done
  pos_wine_session_servers=""
}
