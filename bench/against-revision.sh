#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Measures the joining core of this checkout beside that of an earlier revision:
# builds the revision's core with this checkout's benchmark, then runs the two
# benchmarks in turns, ROUNDS times each (default 11), so that whatever else the
# machine does falls on both alike. Prints each round's times and, for every path
# the benchmark measures, both medians and their ratio.
#
#   bench/against-revision.sh REVISION [ROUNDS] [JOINBENCH ARGUMENTS...]
#
# The arguments default to a many-files run: --many 3000x4K --dir /var/tmp; give
# a size (256M --dir /var/tmp) to measure each encoding's path on large files.
set -eu
[ $# -ge 1 ] || { echo "usage: $0 REVISION [ROUNDS] [JOINBENCH ARGUMENTS...]" >&2; exit 2; }
revision=$1
shift
rounds=11
if [ $# -gt 0 ]; then
    rounds=$1
    shift
fi
[ $# -gt 0 ] || set -- --many 3000x4K --dir /var/tmp
project=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d /var/tmp/against-revision-XXXXXX)
trap 'rm -rf "$work"' EXIT

git -C "$project" archive "$revision" | tar -x -C "$work" --one-top-level=old
rm -rf "$work/old/bench"
cp -r "$project/bench" "$work/old/bench"
cmake -S "$work/old" -B "$work/old/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/old/build" --parallel "$(nproc)" --target joinbench >/dev/null
cmake -S "$project" -B "$project/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$project/build" --parallel "$(nproc)" --target joinbench >/dev/null

: >"$work/times"
# "path<TAB>time" for each line of a run: the median of a many-files run, or the
# time of a path of a large-files run (the codec's own paths and the copies included).
timed_paths() {
    "$@" --repeat 1 | awk '
        match($0, /  +[0-9.]+ ms median/) || (!/^corpus/ && match($0, /  +[0-9.]+ s  /)) {
            time = substr($0, RSTART, RLENGTH); gsub(/[^0-9.]/, "", time)
            print substr($0, 1, RSTART - 1) "\t" time
        }'
}
round=0
while [ "$round" -lt "$rounds" ]; do
    round=$((round + 1))
    timed_paths "$work/old/build/bench/joinbench" "$@" | sed 's/^/old\t/' >>"$work/times"
    timed_paths "$project/build/bench/joinbench" "$@" | sed 's/^/new\t/' >>"$work/times"
    echo "round $round done"
done
# Medians per path, in the order the benchmark prints them.
awk -F'\t' -v revision="$revision" '
    !($2 in seen) { seen[$2] = 1; order[++paths] = $2 }
    { n = ++count[$1, $2]; value[$1, $2, n] = $3 }
    function median(side, path,   n, i, j, t, v) {
        n = count[side, path]
        for (i = 1; i <= n; i++) v[i] = value[side, path, i]
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        return (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    END {
        printf "%-32s %12s %14s\n", "median", revision, "this checkout"
        for (p = 1; p <= paths; p++) {
            old = median("old", order[p]); new = median("new", order[p])
            printf "%-32s %12s %14s  %.2fx\n", order[p], old, new, new / old
        }
    }' "$work/times"
