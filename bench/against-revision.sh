#!/bin/sh
# SPDX-FileCopyrightText: 2026 Sheafwright contributors
# SPDX-License-Identifier: MIT
# Measures the joining core of this checkout beside that of an earlier revision:
# builds the revision's core with this checkout's benchmark, then runs the two
# benchmarks in turns, ROUNDS times each (default 11), so that whatever else the
# machine does falls on both alike. Prints each run's join time and the medians.
#
#   bench/against-revision.sh REVISION [ROUNDS] [JOINBENCH ARGUMENTS...]
#
# The arguments default to a many-files run: --many 3000x4K --dir /var/tmp.
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
round=0
while [ "$round" -lt "$rounds" ]; do
    round=$((round + 1))
    old=$("$work/old/build/bench/joinbench" "$@" --repeat 1 | sed -n 's/^join.* \([0-9.]*\) ms median.*/\1/p')
    new=$("$project/build/bench/joinbench" "$@" --repeat 1 | sed -n 's/^join.* \([0-9.]*\) ms median.*/\1/p')
    echo "round $round: $revision $old ms, this checkout $new ms"
    echo "$old $new" >>"$work/times"
done
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
old=$(cut -d' ' -f1 "$work/times" | median)
new=$(cut -d' ' -f2 "$work/times" | median)
echo "median join: $revision $old ms, this checkout $new ms ($(echo "$new $old" | awk '{ printf "%.2f", $1 / $2 }')x)"
