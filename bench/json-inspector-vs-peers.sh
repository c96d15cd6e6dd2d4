#!/usr/bin/env bash
# Runs the response inspector's work through JSONInspectorBench and through
# peer tools on the same files, whole process against whole process (start-up,
# reading the files and writing the output on both sides), and prints the
# times and their ratios (peer time / ours, above 1 = we are faster):
#   pretty printing a 50 MB body      vs  jq -S .
#   the JSON path $.data[1000].name   vs  jq -r .data[1000].name
#   line diffs of the two text pairs  vs  GNU diff
# It then shows the in-process figures of the same work from Google Benchmark
# (warm calls in a running process, and the extra peak memory of a first call
# as the benchmark reads it from /proc/self/status).
#
# Usage: bench/json-inspector-vs-peers.sh [path/to/JSONInspectorBench]
# Each time is the median of RUNS runs (default 5). Whatever GLIBC_TUNABLES the
# environment sets applies to both sides.
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."

bench=${1:-build/release/bench/JSONInspectorBench}
runs=${RUNS:-5}
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

# Median wall time of $runs runs in milliseconds; the exit status is ignored
# (diff reports differences with 1), the output goes to a file as a pipe's
# reader would take it.
median_ms() {
    local times=() start end
    for ((i = 0; i < runs; i++)); do
        start=$(date +%s%N)
        "$@" >"$work/out" 2>/dev/null || true
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
    done
    printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'
}

row() { # name, peer label, our command (one word list in $ours), peer command...
    local name=$1 label=$2
    shift 2
    local our_ms peer_ms
    our_ms=$(median_ms "${ours[@]}")
    peer_ms=$(median_ms "$@")
    awk -v name="$name" -v ours="$our_ms" -v label="$label" -v peer="$peer_ms" 'BEGIN {
        ratio = ours > 0 ? peer / ours : 0
        printf "%-36s %8d ms   %-26s %8d ms   %6.2fx\n", name, ours, label, peer, ratio
    }'
}

# The outputs must agree before their times mean anything.
"$bench" --pretty="$work/body.json" >"$work/ours-pretty.json"
jq -S . "$work/body.json" >"$work/jq-pretty.json"
if ! jq -e --slurpfile a "$work/ours-pretty.json" --slurpfile b "$work/jq-pretty.json" -n \
    '$a == $b' >/dev/null; then
    echo "warning: the pretty prints hold different documents" >&2
fi

printf "\n%-36s %11s   %-26s %11s   %7s\n" "work (whole process)" "ours" "peer" "peer" "peer/ours"
ours=("$bench" --pretty="$work/body.json")
row "pretty print, 50 MB body" "jq -S ." jq -S . "$work/body.json"
ours=("$bench" --path='$.data[1000].name' --body="$work/body.json")
row "JSON path, 50 MB body" "jq -r .data[1000].name" jq -r '.data[1000].name' "$work/body.json"
ours=("$bench" --diff="$work/diff-20k-previous.txt,$work/diff-20k-current.txt")
row "line diff, 20k lines, 1% changed" "diff" diff "$work/diff-20k-previous.txt" \
    "$work/diff-20k-current.txt"
ours=("$bench" --diff="$work/diff-50k-previous.txt,$work/diff-50k-current.txt")
row "line diff, 50k unrelated lines" "diff" diff "$work/diff-50k-previous.txt" \
    "$work/diff-50k-current.txt"

echo
echo "In process (Google Benchmark, warm calls; extra peak of a first call):"
"$bench" --fixtures="$work" --benchmark_out="$work/ours.json" --benchmark_out_format=json \
    >"$work/bench.log" 2>&1 || { cat "$work/bench.log" >&2; exit 1; }
body_mb=$(stat -c %s "$work/body.json" | awk '{ printf "%.1f", $1 / 1048576 }')
jq -r --arg body "$body_mb" '.benchmarks[] |
    "  \(.name | . + " " * (34 - length)) \(.real_time * 100 | round / 100) ms   extra peak \(.peak_extra_MB | round) MB (\(.peak_extra_per_input * 100 | round / 100)x the input)"' \
    "$work/ours.json"
echo
echo "Targets: pretty print >= 12x jq and <= 250 ms warm, extra peak <= 3.5x the body;"
echo "JSON path <= 40 ms in process; line diff of unrelated texts >= 0.5x GNU diff."
