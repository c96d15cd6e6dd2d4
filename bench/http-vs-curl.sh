#!/usr/bin/env bash
# Compares a 1 KiB loopback GET through request execution with curl fetching
# the same URL, and prints the per-request wall times and their ratio. The
# target: execution takes at most 1.5 times as long as `curl -s -o /dev/null`.
#
# Usage: bench/http-vs-curl.sh [path/to/HTTPExecutionBench] [requests]
#
# Both sides open a new connection for every request. Our side runs the
# requests one after another in one process; curl runs once per request, as a
# user would, so its time includes starting the program. For reference the
# script also times one curl run that fetches the URL that many times, which
# pays the start-up once.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

bench=${1:-build/release/bench/HTTPExecutionBench}
count=${2:-300}
if ! command -v curl >/dev/null 2>&1; then
    echo "This comparison needs curl; on Debian: sudo apt-get install curl" >&2
    exit 1
fi
if [[ ! -x $bench ]]; then
    echo "No benchmark binary at $bench; build it with:" >&2
    echo "    cmake --preset release && cmake --build --preset release" >&2
    exit 1
fi

coproc SERVER { "$bench" --serve; }
server_pid=$SERVER_PID
server_in=${SERVER[1]}
trap 'exec {server_in}>&-; wait "$server_pid" 2>/dev/null || true' EXIT
read -r base <&"${SERVER[0]}"
url="$base/1k"

ours_us=$("$bench" --execute-loop="$url" --count="$count")

curl -s -o /dev/null "$url" # warm-up, as on our side
start_ns=$(date +%s%N)
for ((i = 0; i < count; i++)); do
    curl -s -o /dev/null "$url"
done
end_ns=$(date +%s%N)
curl_us=$(awk -v s="$start_ns" -v e="$end_ns" -v n="$count" 'BEGIN { printf "%.1f", (e - s) / 1000 / n }')

one_process_args=()
for ((i = 0; i < count; i++)); do
    one_process_args+=(-o /dev/null "$url")
done
start_ns=$(date +%s%N)
curl -s "${one_process_args[@]}"
end_ns=$(date +%s%N)
curl_one_process_us=$(awk -v s="$start_ns" -v e="$end_ns" -v n="$count" 'BEGIN { printf "%.1f", (e - s) / 1000 / n }')

awk -v ours="$ours_us" -v curl="$curl_us" -v single="$curl_one_process_us" -v n="$count" 'BEGIN {
    printf "1 KiB loopback GET, %d requests each, wall time per request\n", n
    printf "  execute                            %9.1f us\n", ours
    printf "  curl -s -o /dev/null, per request  %9.1f us\n", curl
    printf "  curl, all URLs in one run          %9.1f us (reference)\n", single
    printf "  ratio execute / curl               %9.3f (target: at most 1.500)\n", ours / curl
    printf "  ratio execute / curl in one run    %9.2f (reference)\n", ours / single
}'
