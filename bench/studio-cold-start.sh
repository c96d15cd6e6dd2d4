#!/usr/bin/env bash
# Cold start of the release build: from process start to the first painted
# frame of the studio window, over a 1,000-request workspace and a 200-entry
# history, on a real X server (a private Xvfb), median of 10 runs; and the
# resident memory of the idle application one second after that.
# Targets: 300 ms or less to the first frame, 60 MB or less resident.
#
#     bench/studio-cold-start.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
runs=${1:-10}

cmake --preset release >/dev/null
cmake --build --preset release --target quiller_start_probe >/dev/null
probe="$root/build/release/bench/quiller_start_probe"

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

export HOME="$scratch/home"
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache"
export XDG_RUNTIME_DIR="$scratch/runtime" TMPDIR="$scratch"
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

Xvfb -displayfd 3 -screen 0 1600x1000x24 -nolisten tcp 3>"$scratch/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
  [ "$(wc -l <"$scratch/display")" -ge 1 ] && break
  sleep 0.1
done
export DISPLAY=":$(tr -dc '0-9' <"$scratch/display")"

"$probe" --write-fixture

starts=()
residents=()
# One run first, not counted: the system's file cache is warm for every
# counted run alike.
"$probe" >/dev/null
for _ in $(seq "$runs"); do
  launched=$(date +%s%N)
  output=$("$probe")
  painted=$(awk '/^first-paint-ns/ {print $2}' <<<"$output")
  resident=$(awk '/^rss-kb/ {print $2}' <<<"$output")
  starts+=($(( (painted - launched) / 1000000 )))
  residents+=("$resident")
done

median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
start_ms=$(median "${starts[@]}")
resident_kb=$(median "${residents[@]}")
echo "cold start to first frame: ${start_ms} ms median of ${runs} (runs: ${starts[*]}; target 300 ms)"
echo "resident memory, idle: $(( resident_kb / 1024 )) MB median (target 60 MB)"
