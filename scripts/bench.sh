#!/usr/bin/env bash
# Measures Pondrex.dll and its receive path and prints a table. Not a test:
# no figure is checked. Builds what it needs:
#   build/bench-native  a release build without sanitizers of the receive-path
#                       bench (receive_path_bench)
#   build/win32         Pondrex.dll and the 32-bit host PondrexBench.exe
# and runs the host under Wine against the simulated devices on COM58: the
# scale, the price-computing scale (DownLoadPlu, UpLoadPlu) and the boot
# loader (a 200-block DownloadProgramme).
#
# Usage: scripts/bench.sh [--quick]
#   --quick  fewer rounds, coarser figures: 40 Tares a side, 3 s of idle host
#            (processor time comes in steps of about 10 ms), memory after
#            100 and 1,000 Tares, 2 rounds of each transfer (the full run
#            takes about six minutes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
jobs=$(nproc)
port=COM58

rounds=200
block=20
idle_seconds=10
memory_mode=memory
transfer_rounds=5
if [ "${1:-}" = "--quick" ]; then
  rounds=40
  idle_seconds=3
  memory_mode="memory 1000"
  transfer_rounds=2
fi

"$root/scripts/install-deps.sh" >/dev/null

echo "building the receive-path bench (build/bench-native) and the 32-bit host (build/win32)" >&2
if [ ! -f "$build/bench-native/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build/bench-native" -DPOS_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" >/dev/null
fi
cmake --build "$build/bench-native" -j "$jobs" --target receive_path_bench >/dev/null
if [ ! -f "$build/win32/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build/win32" -DPOS_WINE_DIR="$build/wine" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" >/dev/null
fi
cmake --build "$build/win32" -j "$jobs" --target Pondrex PondrexBench >/dev/null

results=$(mktemp)
trap 'rm -f "$results"' EXIT

echo "receive path: 8 MB and 64 MB in 4096-byte chunks" >&2
"$build/bench-native/bench/receive_path_bench" 8 64 >>"$results"

# shellcheck source=../tests/windows/wine-env.sh
source "$root/tests/windows/wine-env.sh" "$build/wine"
wineserver 2>/dev/null || true
dll=$(winepath -w "$build/win32/out/Pondrex.dll" 2>/dev/null)
host_on() { # device mode args...
  local device=$1
  shift
  /usr/bin/python3 "$root/tests/windows/ptypeer.py" --port "$port" --wine-dir "$build/wine" --timeout 900 \
    --device "$device" -- "$root/tests/windows/run-in-wine.sh" "$build/wine" \
    "$build/win32/bench/PondrexBench.exe" "$dll" "$@" >>"$results"
}
host() { # mode args...
  host_on scale "$@"
}
echo "Tare round trip and raw exchange under Wine, $rounds each, interleaved in blocks of $block" >&2
host tare "$rounds" "$block"
echo "idle host, $idle_seconds s with and without the DLL" >&2
host idle "$idle_seconds"
echo "resident memory over repeated Tares" >&2
# shellcheck disable=SC2086 # the mode and its count are two words
host $memory_mode
echo "DownLoadPlu and UpLoadPlu of 70 slots, $transfer_rounds rounds" >&2
host_on pricescale price "$transfer_rounds"
echo "DownloadProgramme of 200 blocks, $transfer_rounds rounds" >&2
host_on bootloader download "$transfer_rounds"

# Figures as key=value pairs after a leading name; value NAME KEY.
value() { awk -v name="$1" -v key="$2" '$1 == name { for (i = 2; i <= NF; ++i) { split($i, kv, "="); if (kv[1] == key) v = kv[2] } } END { print v }' "$results"; }
nth() { # the KEY of the n-th line NAME
  awk -v name="$1" -v key="$2" -v n="$3" '$1 == name { if (++seen == n) for (i = 2; i <= NF; ++i) { split($i, kv, "="); if (kv[1] == key) print kv[2] } }' "$results"
}

small_s=$(nth receive_path seconds 1)
large_s=$(nth receive_path seconds 2)
memory_lines=$(grep '^memory_after_' "$results" || true)

printf '\n%-46s %s\n' "figure" "value"
printf '%-46s %s\n' "Tare through Pondrex.dll (ms)" "median $(value tare_dll_ms median), p90 $(value tare_dll_ms p90)"
printf '%-46s %s\n' "raw exchange, same port settings (ms)" "median $(value tare_raw_ms median), p90 $(value tare_raw_ms p90)"
printf '%-46s %s\n' "ratio DLL / raw" "median $(value tare_ratio median), p90 $(value tare_ratio p90)"
printf '%-46s %s\n' "receive path, 64 MB (MB/s)" "$(nth receive_path mb_per_s 2)"
printf '%-46s %s\n' "copy and CRC-16 of the same bytes (MB/s)" "$(nth receive_path copy_crc_mb_per_s 2)"
printf '%-46s %s\n' "ratio receive path / copy and CRC" "$(nth receive_path ratio 2)"
printf '%-46s %s\n' "time 64 MB / time 8 MB" "$(awk -v a="$large_s" -v b="$small_s" 'BEGIN { printf "%.2f", a / b }')"
printf '%-46s %s\n' "frames reported / sent, 64 MB" "$(nth receive_path frames 2) / $(nth receive_path expected 2)"
printf '%-46s %s\n' "idle host CPU without / with the DLL (%)" \
  "$(value idle_cpu_percent without_dll) / $(value idle_cpu_percent with_dll) (difference $(value idle_cpu_percent difference))"
transfer() { # NAME LABEL
  printf '%-46s %s\n' "$2 (ms)" \
    "median $(value "$1" median), p90 $(value "$1" p90), floor $(value "$1" floor), gap $(value "$1" gap)"
}
transfer plu_download_ms "DownLoadPlu, 70 slots"
transfer plu_upload_ms "UpLoadPlu, 70 slots"
transfer download_ms "DownloadProgramme, 200 blocks"
while read -r name rest; do
  [ -n "$name" ] || continue
  count=${name#memory_after_}
  printf '%-46s %s\n' "memory after $count Tares (MB)" "$(echo "$rest" | tr '=' ' ' | awk '{ printf "resident %s, private %s", $2, $4 }')"
done <<<"$memory_lines"
if grep -q '^tare_wrong\|^transfer_wrong\|^bench failed' "$results"; then
  grep '^tare_wrong\|^transfer_wrong\|^bench failed' "$results"
  exit 1
fi
