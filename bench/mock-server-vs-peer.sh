#!/usr/bin/env bash
# Serves the same route with Quiller's mock server and with Mockoon's
# command-line server (npm @mockoon/cli, installed into a temporary folder),
# loads each with wrk (or ab) with one request per connection, and prints
# requests per second, the 99th percentile latency and the ratio.
#
# Targets: at least 2 times the peer's requests per second, p99 of 5 ms or less.
#
# Usage: bench/mock-server-vs-peer.sh [path/to/MockServerBench]
# Environment: DURATION (seconds per run, default 10), CONNECTIONS (default 16),
# THREADS (wrk threads, default 2), REQUESTS (ab only, default 50000),
# PEER_VERSION (default 9).
#
# Both servers log every request (ours to a temporary log folder, the peer to
# a file of its standard output), and both answer a small JSON body. Run it on
# an otherwise idle machine: the latency percentiles follow the scheduler.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

bench=${1:-build/release/bench/MockServerBench}
duration=${DURATION:-10}
connections=${CONNECTIONS:-16}
threads=${THREADS:-2}
requests=${REQUESTS:-50000}
peer_version=${PEER_VERSION:-9}

if command -v wrk >/dev/null 2>&1; then
    loader=wrk
elif command -v ab >/dev/null 2>&1; then
    loader=ab
else
    echo "This comparison needs wrk or ab; on Debian: sudo apt-get install wrk (or apache2-utils)" >&2
    exit 1
fi
for tool in node npm curl; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "This comparison needs $tool; on Debian: sudo apt-get install nodejs npm curl" >&2
        exit 1
    fi
done
if [[ ! -x $bench ]]; then
    echo "No launcher at $bench; build it with:" >&2
    echo "    cmake --preset release && cmake --build --preset release" >&2
    exit 1
fi

work=$(mktemp -d)
server_pid=""
stop_server() {
    if [[ -n $server_pid ]]; then
        kill "$server_pid" 2>/dev/null || true
        wait "$server_pid" 2>/dev/null || true
        server_pid=""
    fi
}
trap 'stop_server; rm -rf "$work"' EXIT

# A port nobody listens on right now, below the usual ephemeral range so that
# the load tool's own connections (thousands, in TIME_WAIT) cannot hold it.
free_port() {
    local port
    for _ in $(seq 1 50); do
        port=$((20000 + RANDOM % 10000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
    echo "no free port found" >&2
    exit 1
}

# Waits until GET <url> answers 200, for at most 120 s; shows <log> otherwise.
wait_ready() {
    local deadline=$((SECONDS + 120))
    while ((SECONDS < deadline)); do
        if [[ $(curl -s --max-time 2 -o /dev/null -w '%{http_code}' "$1" || true) == 200 ]]; then
            return
        fi
        if ! kill -0 "$server_pid" 2>/dev/null; then
            break
        fi
        sleep 0.2
    done
    echo "server at $1 never became ready:" >&2
    cat "$2" >&2
    exit 1
}

# Loads <url> after a short warm-up; prints "<requests per second> <p99 in ms>".
load() {
    local url=$1 out=$2
    if [[ $loader == wrk ]]; then
        wrk -t"$threads" -c"$connections" -d2s -H 'Connection: close' "$url" >/dev/null
        wrk -t"$threads" -c"$connections" -d"${duration}s" --latency -H 'Connection: close' \
            "$url" >"$out"
        awk '
            /Requests\/sec:/ { rps = $2 }
            $1 == "99%" {
                v = $2
                if (v ~ /us$/) { sub(/us$/, "", v); p99 = v / 1000 }
                else if (v ~ /ms$/) { sub(/ms$/, "", v); p99 = v }
                else if (v ~ /s$/) { sub(/s$/, "", v); p99 = v * 1000 }
            }
            /Non-2xx or 3xx responses|Socket errors/ { print > "/dev/stderr" }
            END { printf "%s %s\n", rps, p99 }' "$out"
    else
        # ab speaks HTTP/1.0 without keep-alive: one request per connection.
        ab -q -n 2000 -c "$connections" "$url" >/dev/null
        ab -q -n "$requests" -c "$connections" "$url" >"$out"
        awk '
            /Requests per second:/ { rps = $4 }
            $1 == "99%" { p99 = $2 }
            /Non-2xx responses:/ { print > "/dev/stderr" }
            END { printf "%s %s\n", rps, p99 }' "$out"
    fi
}

echo "Loader: $loader, $connections connections, one request per connection"

# --- Quiller ---------------------------------------------------------------------
port=$(free_port)
mkdir -p "$work/data"
XDG_DATA_HOME="$work/data" "$bench" "$port" >"$work/ours.out" 2>&1 &
server_pid=$!
wait_ready "http://127.0.0.1:$port/bench" "$work/ours.out"
echo "Loading Quiller's mock server on port $port ..."
read -r ours_rps ours_p99 < <(load "http://127.0.0.1:$port/bench" "$work/ours.txt")
stop_server

# --- Mockoon ---------------------------------------------------------------------
echo "Installing @mockoon/cli@$peer_version into $work/peer ..."
if ! npm install --prefix "$work/peer" --no-audit --no-fund --loglevel=error \
    "@mockoon/cli@$peer_version" >"$work/npm.log" 2>&1; then
    cat "$work/npm.log" >&2
    exit 1
fi
cat >"$work/openapi.json" <<'JSON'
{
  "openapi": "3.0.0",
  "info": { "title": "bench", "version": "1.0.0" },
  "paths": {
    "/bench": {
      "get": {
        "responses": {
          "200": {
            "description": "ok",
            "content": {
              "application/json": {
                "schema": { "type": "object", "properties": { "ok": { "type": "boolean" } } },
                "example": { "ok": true }
              }
            }
          }
        }
      }
    }
  }
}
JSON
port=$(free_port)
"$work/peer/node_modules/.bin/mockoon-cli" start --data "$work/openapi.json" --port "$port" \
    --hostname 127.0.0.1 --disable-log-to-file --disable-admin-api >"$work/peer.out" 2>&1 &
server_pid=$!
wait_ready "http://127.0.0.1:$port/bench" "$work/peer.out"
echo "Loading Mockoon's server on port $port ..."
read -r peer_rps peer_p99 < <(load "http://127.0.0.1:$port/bench" "$work/peer.txt")
stop_server

# --- Result ----------------------------------------------------------------------
echo
awk -v ours="$ours_rps" -v ours99="$ours_p99" -v peer="$peer_rps" -v peer99="$peer_p99" 'BEGIN {
    printf "%-10s %14s %10s\n", "server", "requests/s", "p99 (ms)"
    printf "%-10s %14.0f %10.2f\n", "Quiller", ours, ours99
    printf "%-10s %14.0f %10.2f\n", "Mockoon", peer, peer99
    ratio = peer > 0 ? ours / peer : 0
    printf "\nratio (Quiller / Mockoon requests per second): %.2f\n", ratio
    printf "target: ratio >= 2 and Quiller p99 <= 5 ms: %s\n",
        (ratio >= 2 && ours99 <= 5) ? "met" : "NOT met"
}'
