#!/usr/bin/env bash
# Serves the same small JSON answer with Quiller's mock server and with nginx
# (one worker process, access log on), loads each with ab, one request per
# connection, and prints requests per second, the CPU time each server spent
# per request (from /proc/<pid>/stat) and the ratios.
#
# Targets: at least 0.8 times nginx's requests per second, 20 µs of CPU per
# request or less.
#
# Usage: bench/mock-server-vs-peer.sh [path/to/MockServerBench]
# Environment: REQUESTS (default 20000), CONNECTIONS (default 32).
# Run it on an otherwise idle machine.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

bench=${1:-build/release/bench/MockServerBench}
requests=${REQUESTS:-20000}
connections=${CONNECTIONS:-32}

nginx=$(command -v nginx || echo /usr/sbin/nginx)
for tool in ab curl "$nginx"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "This comparison needs ab, curl and nginx; on Debian:" >&2
        echo "    sudo apt-get install apache2-utils curl nginx-light" >&2
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

# Waits until GET <url> answers 200, for at most 30 s; shows <log> otherwise.
wait_ready() {
    local deadline=$((SECONDS + 30))
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

# CPU time of a process so far, in clock ticks.
cpu_ticks() {
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# Loads <url> after a warm-up; prints "<requests per second> <µs CPU per request>".
load() {
    local url=$1 out=$2 before after
    ab -q -n 2000 -c "$connections" "$url" >/dev/null
    before=$(cpu_ticks "$server_pid")
    ab -q -n "$requests" -c "$connections" "$url" >"$out"
    after=$(cpu_ticks "$server_pid")
    awk -v ticks=$((after - before)) -v hz="$(getconf CLK_TCK)" -v n="$requests" '
        /Requests per second:/ { rps = $4 }
        /Failed requests:/ && $3 != 0 { print "failed requests: " $3 > "/dev/stderr" }
        /Non-2xx responses:/ { print > "/dev/stderr" }
        END { printf "%s %.1f\n", rps, ticks / hz * 1e6 / n }' "$out"
}

echo "ab: $requests requests, $connections at a time, one request per connection"

# --- Quiller ---------------------------------------------------------------------
port=$(free_port)
mkdir -p "$work/data"
XDG_DATA_HOME="$work/data" "$bench" "$port" >"$work/ours.out" 2>&1 &
server_pid=$!
wait_ready "http://127.0.0.1:$port/bench" "$work/ours.out"
echo "Loading Quiller's mock server on port $port ..."
read -r ours_rps ours_cpu < <(load "http://127.0.0.1:$port/bench" "$work/ours.txt")
stop_server

# --- nginx -----------------------------------------------------------------------
port=$(free_port)
mkdir -p "$work/nginx"
cat >"$work/nginx.conf" <<CONF
worker_processes 1;
master_process off;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 1024; }
http {
    access_log $work/nginx/access.log;
    client_body_temp_path $work/nginx/body;
    proxy_temp_path $work/nginx/proxy;
    fastcgi_temp_path $work/nginx/fastcgi;
    uwsgi_temp_path $work/nginx/uwsgi;
    scgi_temp_path $work/nginx/scgi;
    server {
        listen 127.0.0.1:$port;
        location = /bench {
            default_type "application/json; charset=utf-8";
            return 200 '{"ok":true}';
        }
    }
}
CONF
"$nginx" -p "$work/nginx" -c "$work/nginx.conf" >"$work/peer.out" 2>&1 &
server_pid=$!
wait_ready "http://127.0.0.1:$port/bench" "$work/peer.out"
echo "Loading nginx on port $port ..."
read -r peer_rps peer_cpu < <(load "http://127.0.0.1:$port/bench" "$work/peer.txt")
stop_server

# --- Result ----------------------------------------------------------------------
echo
awk -v ours="$ours_rps" -v ourscpu="$ours_cpu" -v peer="$peer_rps" -v peercpu="$peer_cpu" 'BEGIN {
    printf "%-10s %14s %16s\n", "server", "requests/s", "CPU µs/request"
    printf "%-10s %14.0f %16.1f\n", "Quiller", ours, ourscpu
    printf "%-10s %14.0f %16.1f\n", "nginx", peer, peercpu
    ratio = peer > 0 ? ours / peer : 0
    printf "\nratio (Quiller / nginx requests per second): %.2f\n", ratio
    printf "target: ratio >= 0.8 and <= 20 µs CPU per request: %s\n",
        (ratio >= 0.8 && ourscpu <= 20) ? "met" : "NOT met"
}'
