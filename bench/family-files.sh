#!/bin/sh
# Whole-process time of `zeb-fiches --par-eleve` on a generated 30-pupil class (60 pages in 30
# files), each run into a fresh folder: medians of the elapsed time and of the processor time
# (user + system, which a busy machine does not inflate) over RUNS runs.
#   bench/family-files.sh [BUILD_DIR] [RUNS]
# Needs the zeb-fiches and zeb-genclass targets built in BUILD_DIR (default: build), and
# /usr/bin/time (package time).
set -eu
build=${1:-build}
runs=${2:-21}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
"$build/bin/zeb-genclass" --eleves 30 "$work/classe.jad" >/dev/null
export TMPDIR="$work" XDG_RUNTIME_DIR="$work"
fiches="$build/bin/zeb-fiches"
"$fiches" --par-eleve "$work/warm" "$work/classe.jad" # fonts and libraries in the page cache
i=0
while [ "$i" -lt "$runs" ]; do
    /usr/bin/time -a -o "$work/times" -f "%e %U %S" "$fiches" --par-eleve "$work/out$i" "$work/classe.jad"
    i=$((i + 1))
done
awk -v files="$(ls "$work/warm" | wc -l)" '
    function median(values, n,    i, j, t) {
        for (i = 2; i <= n; i++)
            for (j = i; j > 1 && values[j - 1] > values[j]; j--) {
                t = values[j]; values[j] = values[j - 1]; values[j - 1] = t
            }
        return n % 2 ? values[(n + 1) / 2] : (values[n / 2] + values[n / 2 + 1]) / 2
    }
    { elapsed[NR] = $1 * 1000; cpu[NR] = ($2 + $3) * 1000 }
    END { printf "zeb-fiches --par-eleve, %d files, %d runs: median elapsed %.0f ms, median processor time %.0f ms\n",
                 files, NR, median(elapsed, NR), median(cpu, NR) }' "$work/times"
