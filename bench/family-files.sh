#!/bin/sh
# Whole-process time of `zeb-fiches --par-eleve` on a generated 30-pupil class (60 pages in 30
# files), median of RUNS runs, each into a fresh folder. Run from a build tree:
#   bench/family-files.sh [BUILD_DIR] [RUNS]
# Needs the zeb-fiches and zeb-genclass targets built in BUILD_DIR (default: build).
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
    start=$(date +%s%N)
    "$fiches" --par-eleve "$work/out$i" "$work/classe.jad" ${EXTRA_OPTIONS:-}
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
    i=$((i + 1))
done | sort -n | awk -v runs="$runs" -v files="$(ls "$work/warm" | wc -l)" '
    { t[NR] = $1 }
    END { printf "zeb-fiches --par-eleve, %d files: median %.1f ms, min %.1f ms, max %.1f ms over %d runs\n",
                 files, t[int((NR + 1) / 2)] / 1000, t[1] / 1000, t[NR] / 1000, runs }'
