# shellcheck shell=bash
# Sourced: keeps the servers of Wine prefixes running, booted, for a whole
# run of tests, so that no test starts a server or boots the prefix itself.
# A prefix's server otherwise ends a few seconds after its last program, and
# the next program starts a new one and boots the prefix (services, device
# manager, desktop) while the programs started beside it wait; under load
# they crowd into that start, and a program can meet a server that is just
# ending. A server left from an earlier run is ended first: its desktop
# process holds that run's X display.
pos_wine_session_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

pos_wine_session_start() { # wine_dir...
  local dir
  for dir in "$@"; do
    (
      # shellcheck source=wine-env.sh
      source "$pos_wine_session_here/wine-env.sh" "$dir"
      timeout 60 wineserver -k 2>/dev/null || true
      wineserver -p
      # The first program of a server waits until the prefix has booted.
      if ! timeout 300 wine cmd.exe /c exit 0 >/dev/null 2>&1; then
        echo "wine-session.sh: the Wine prefix $WINEPREFIX did not boot within 300 s" >&2
        exit 1
      fi
    ) || return 1
  done
}

pos_wine_session_end() { # wine_dir...
  local dir
  for dir in "$@"; do
    (
      export WINEPREFIX="$dir/prefix"
      timeout 60 wineserver -k 2>/dev/null || true
    )
  done
}
