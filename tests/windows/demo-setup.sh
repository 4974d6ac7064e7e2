# shellcheck shell=bash
# Sourced by the demonstration scripts with their own arguments. Sets root
# (the repository) and build (the first argument, else the repository's build
# folder) and gives the steps the demonstrations share.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

# The folder that holds a deliverable: build/out as scripts/build.sh collects
# it, else the out folder of the tree that builds it.
pos_demo_deliverables() { # tree file
  if [ -f "$build/out/$2" ]; then
    echo "$build/out"
  else
    echo "$build/$1/out"
  fi
}

# Ends the script when a file the demonstration needs has not been built.
pos_demo_require() { # file...
  local file
  for file in "$@"; do
    if [ ! -f "$file" ]; then
      echo "$(basename "$0"): $file is missing; build first (scripts/build.sh)" >&2
      exit 1
    fi
  done
}

# The build's Wine prefix, whose server starts here with its diagnostics out
# of the way: it dumps its object table when the pseudo-terminal of a COM
# port goes away.
pos_demo_peer_prefix() {
  # shellcheck source=wine-env.sh
  source "$root/tests/windows/wine-env.sh" "$build/wine"
  wineserver 2>/dev/null || true
}

# Replaces the script with a host under Wine in that prefix, a simulated
# device on the COM port (ptypeer.py with the options given).
pos_demo_exec_with_peer() { # port [peer option...] -- host [argument...]
  local port=$1
  local options=()
  shift
  while [ "$1" != -- ]; do
    options+=("$1")
    shift
  done
  shift
  exec /usr/bin/python3 "$root/tests/windows/ptypeer.py" --port "$port" --wine-dir "$build/wine" --timeout 120 \
    "${options[@]}" -- "$root/tests/windows/run-in-wine.sh" "$build/wine" "$@"
}
