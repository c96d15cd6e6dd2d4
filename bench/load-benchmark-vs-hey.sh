#!/usr/bin/env bash
# Runs Quiller's load benchmark (200 GETs, 24 workers) and
# `hey -disable-keepalive -n 200 -c 24` against the same loopback URL, several
# rounds each, taking turns, and prints requests per second and the ratio of
# the medians. The target: Quiller reaches at least 0.9 times hey's rate.
#
# Usage: bench/load-benchmark-vs-hey.sh [path/to/LoadBenchmarkBench] [rounds]
#
# Both clients open a new connection for every request. The server is nginx
# with several workers and no access log answering a fixed 11-byte JSON body,
# so that it keeps up with both clients and the clients are what is measured.
# Each side times itself in-process (neither pays for starting its program)
# after one unmeasured run. hey hands each of its 24 workers 200 / 24 = 8
# requests, so it sends 192; rates are rates all the same. Run it on an
# otherwise idle machine: a round lasts only tens of milliseconds.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

bench=${1:-build/release/bench/LoadBenchmarkBench}
rounds=${2:-15}

for tool in hey nginx; do
    if ! command -v "$tool" >/dev/null 2>&1 && [[ ! -x /usr/sbin/$tool ]]; then
        echo "This comparison needs $tool; on Debian: sudo apt-get install hey nginx-light" >&2
        exit 1
    fi
done
nginx_bin=$(command -v nginx || echo /usr/sbin/nginx)
if [[ ! -x $bench ]]; then
    echo "No benchmark binary at $bench; build it with:" >&2
    echo "    cmake --preset release && cmake --build --preset release" >&2
    exit 1
fi

work=$(mktemp -d)
nginx_pid=""
stop_server() {
    if [[ -n $nginx_pid ]]; then
        kill "$nginx_pid" 2>/dev/null || true
        wait "$nginx_pid" 2>/dev/null || true
        nginx_pid=""
    fi
}
trap 'stop_server; rm -rf "$work"' EXIT

# A port nobody listens on right now, below the usual ephemeral range so that
# the clients' own connections (in TIME_WAIT) cannot hold it.
port=""
for _ in $(seq 1 50); do
    candidate=$((20000 + RANDOM % 10000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
        port=$candidate
        break
    fi
done
[[ -n $port ]] || { echo "no free port found" >&2; exit 1; }

mkdir -p "$work/logs" "$work/temp"
cat >"$work/nginx.conf" <<EOF
daemon off;
master_process on;
worker_processes 4;
pid $work/nginx.pid;
error_log $work/logs/error.log warn;
events { worker_connections 4096; }
http {
    access_log off;
    client_body_temp_path $work/temp;
    proxy_temp_path $work/temp;
    fastcgi_temp_path $work/temp;
    uwsgi_temp_path $work/temp;
    scgi_temp_path $work/temp;
    server {
        listen 127.0.0.1:$port backlog=4096;
        location / {
            default_type application/json;
            return 200 '{"ok":true}';
        }
    }
}
EOF
"$nginx_bin" -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
url="http://127.0.0.1:$port/bench"
for _ in $(seq 1 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.05
done

hey_rate() {
    hey -disable-keepalive -n 200 -c 24 "$url" | awk '/Requests\/sec:/ { print $2 }'
}

hey_rate >/dev/null # warm-up, as on our side
ours=()
theirs=()
for ((i = 0; i < rounds; i++)); do
    ours+=("$("$bench" --load="$url" --rounds=1)")
    theirs+=("$(hey_rate)")
done

median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ours_median=$(median "${ours[@]}")
theirs_median=$(median "${theirs[@]}")

echo "Loopback GET $url, 200 requests on 24 workers, a connection per request, $rounds rounds"
echo "  Quiller req/s: ${ours[*]}"
echo "  hey     req/s: ${theirs[*]}"
awk -v ours="$ours_median" -v theirs="$theirs_median" 'BEGIN {
    printf "  Quiller median  %9.1f req/s\n", ours
    printf "  hey median      %9.1f req/s\n", theirs
    printf "  ratio Quiller / hey %5.3f (target: at least 0.900)\n", ours / theirs
}'
