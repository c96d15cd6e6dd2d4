#!/usr/bin/env bash
# Runs the JSON inspector benchmarks, then the same work through peer tools on
# the same files, and prints the times and their ratios:
#   pretty printing a 50 MB body     vs  jq .
#   a JSON path on that body         vs  jq -r <the same path>
#   line diffs of the two body pairs vs  diff
#
# Usage: bench/json-inspector-vs-peers.sh [path/to/JSONInspectorBench]
#
# Our times are in-process from memory (Google Benchmark's mean); a peer's time
# is the best of three runs of the whole program, start-up and file reading
# included. Whatever GLIBC_TUNABLES the environment sets applies to both sides;
# on machines where first-touch page faults are slow (some virtual machines),
# GLIBC_TUNABLES=glibc.malloc.hugetlb=1 shows the difference large pages make.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

bench=${1:-build/release/bench/JSONInspectorBench}
missing=()
command -v jq >/dev/null 2>&1 || missing+=(jq)
command -v diff >/dev/null 2>&1 || missing+=(diffutils)
if ((${#missing[@]})); then
    echo "This comparison needs ${missing[*]}; on Debian: sudo apt-get install ${missing[*]}" >&2
    exit 1
fi
if [[ ! -x $bench ]]; then
    echo "No benchmark binary at $bench; build it with:" >&2
    echo "    cmake --preset release && cmake --build --preset release" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Generating the inputs in $work ..."
"$bench" --write-fixtures="$work"

echo "Running JSONInspectorBench ..."
if ! "$bench" --fixtures="$work" --benchmark_out="$work/ours.json" \
    --benchmark_out_format=json >"$work/bench.log" 2>&1; then
    cat "$work/bench.log" >&2
    exit 1
fi

# Our mean wall time in milliseconds, and the extra peak memory in MB, of one benchmark.
ours() {
    jq -r --arg name "$1" --arg field "$2" \
        '.benchmarks[] | select(.name == $name) | .[$field]' "$work/ours.json"
}

# Best wall time of three runs, in milliseconds; the exit status is ignored
# (diff reports differences with 1), the output discarded.
best_ms() {
    local best="" start end ms
    for _ in 1 2 3; do
        start=$(date +%s%N)
        "$@" >/dev/null 2>&1 || true
        end=$(date +%s%N)
        ms=$(((end - start) / 1000000))
        if [[ -z $best || $ms -lt $best ]]; then best=$ms; fi
    done
    echo "$best"
}

# Peak resident memory of one run in MB, when GNU time is installed.
peak_mb() {
    if [[ -x /usr/bin/time ]]; then
        /usr/bin/time -f %M -o "$work/time.txt" "$@" >/dev/null 2>&1 || true
        # GNU time puts a line about a non-zero exit status first.
        tail -n 1 "$work/time.txt" | awk '{ printf "%.0f", $1 / 1024 }'
    else
        echo "?"
    fi
}

if ! jq . "$work/body.json" >/dev/null; then
    echo "jq cannot read the generated body" >&2
    exit 1
fi

row() { # name, our benchmark, peer label, peer command...
    local name=$1 benchmark=$2 label=$3
    shift 3
    local our_ms our_mb peer_ms peer_mb
    our_ms=$(ours "$benchmark" real_time)
    our_mb=$(ours "$benchmark" peak_extra_MB)
    peer_ms=$(best_ms "$@")
    peer_mb=$(peak_mb "$@")
    awk -v name="$name" -v ours="$our_ms" -v ourmb="$our_mb" -v label="$label" \
        -v peer="$peer_ms" -v peermb="$peer_mb" 'BEGIN {
            ratio = ours > 0 ? peer / ours : 0
            printf "%-34s %10.1f ms %8.0f MB   %-22s %8d ms %6s MB   %6.1fx\n",
                name, ours, ourmb, label, peer, peermb, ratio
        }'
}

printf "\n%-34s %13s %11s   %-22s %11s %9s   %7s\n" \
    "work" "ours" "extra peak" "peer" "peer" "peak" "peer/ours"
row "prettyPrint, 50 MB body" "PrettyPrint/50MB" "jq ." \
    jq . "$work/body.json"
row "extractJSONPath, 50 MB body" "ExtractJSONPath/50MB" "jq -r <path>" \
    jq -r '.data[100000].address.geo.lat' "$work/body.json"
row "diffLines, 20k lines, 1% changed" "DiffLines/20k-lines-1pct-changed" "diff" \
    diff "$work/diff-20k-previous.txt" "$work/diff-20k-current.txt"
row "diffLines, 50k unrelated lines" "DiffLines/50k-lines-unrelated" "diff" \
    diff "$work/diff-50k-previous.txt" "$work/diff-50k-current.txt"
printf "\nPeer start-up alone, included in its times: jq %s ms, diff %s ms.\n" \
    "$(best_ms jq -n 1)" "$(best_ms diff /dev/null /dev/null)"
echo "Targets: prettyPrint <= 500 ms with peak <= 4x the body; extractJSONPath <= 300 ms;"
echo "diffLines <= 50 ms (20k lines) and <= 1000 ms with <= 200 MB (50k unrelated lines)."
