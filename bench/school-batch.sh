#!/bin/sh
# Times zeb-fiches --dossier over a generated school (100 classes of 30 pupils, every output)
# on every processor and on one, and a bare QPdfWriter program writing the same number of
# pages (one in seven a dense table, as the synthesis pages are among the sheets), runs
# interleaved; prints the medians.
#   bench/school-batch.sh BUILD_FOLDER [RUNS]
set -eu
bin=$1/bin
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen TMPDIR="$work" XDG_RUNTIME_DIR="$work"

"$bin/zeb_bench_make_school" "$work/exports" 100 30

seconds() { # runs a command, prints its wall time in seconds
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
    end=$(date +%s%N)
    echo "scale=4; ($end - $start) / 1000000000" | bc
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

"$bin/zeb-fiches" --dossier "$work/out" "$work/exports" 2>/dev/null
pages=0
for pdf in "$work"/out/*/*.pdf; do
    pages=$((pages + $(pdfinfo "$pdf" | awk '/^Pages:/ { print $2 }')))
done

: >"$work/parallel"; : >"$work/single"; : >"$work/bare"
for run in $(seq "$runs"); do
    rm -rf "$work/out"
    seconds "$bin/zeb-fiches" --dossier "$work/out" "$work/exports" >>"$work/parallel"
    rm -rf "$work/out"
    seconds taskset -c 0 "$bin/zeb-fiches" --dossier "$work/out" "$work/exports" >>"$work/single"
    seconds taskset -c 0 "$bin/zeb_bench_bare_pdf" "$work/bare.pdf" "$pages" 7 >>"$work/bare"
done

parallel=$(median <"$work/parallel")
single=$(median <"$work/single")
bare=$(median <"$work/bare")
echo "load: $(cut -d' ' -f1-3 /proc/loadavg), processors: $(nproc), runs: $runs"
echo "classes: 100 x 30 pupils, PDF pages: $pages"
echo "parallel: $parallel s ($(echo "scale=1; 1000 * $parallel / 100" | bc) ms per class)"
echo "one processor: $single s ($(echo "scale=1; 1000 * $single / 100" | bc) ms per class)"
echo "speed-up: $(echo "scale=2; $single / $parallel" | bc)"
echo "bare QPdfWriter, one processor: $bare s for $pages pages"
echo "per page: zeb one processor $(echo "scale=3; 1000 * $single / $pages" | bc) ms," \
    "zeb parallel $(echo "scale=3; 1000 * $parallel / $pages" | bc) ms, bare $(echo "scale=3; 1000 * $bare / $pages" | bc) ms"
echo "per-page ratio: one processor $(echo "scale=2; $single / $bare" | bc), parallel $(echo "scale=2; $parallel / $bare" | bc)"
