#!/usr/bin/env bash
# Whole-process time of zeb-fiches writing the scores CSV of the sample class (no PDF), started
# as a teacher's script starts it, beside what any process costs here, started the same way in
# the same run: /bin/true, a C++ program that prints one line, one that creates a
# QCoreApplication and one that merely links Qt Gui; then a PDF run.
# Prints, for each, the median wall time of RUNS runs and the mean CPU time (user + system).
#   bench/cli-process-time.sh [BUILD_DIR] [RUNS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-$here/../build}
runs=${2:-30}
program=$build/bin/zeb-fiches
sample=$here/../examples/classe-ce2-exemple.jad
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '#include <iostream>\nint main() { std::cout << "bonjour\\n"; }\n' | c++ -O2 -x c++ - -o "$work/hello"
printf '#include <QCoreApplication>\n#include <cstdio>\nint main(int c, char** v) { QCoreApplication a(c, v); std::puts("bonjour"); }\n' |
    c++ -O2 -fPIC -x c++ - -o "$work/qtcore" $(pkg-config --cflags --libs Qt6Core)
printf '#include <QGuiApplication>\n#include <cstdio>\nint main() { std::puts("bonjour"); return QGuiApplication::instance() != nullptr; }\n' |
    c++ -O2 -fPIC -x c++ - -o "$work/qtgui" $(pkg-config --cflags --libs Qt6Gui)

# Sets cpu_us to the children's user and system time so far, in microseconds (in this shell:
# a subshell would count its own children).
children_cpu_us() {
    local line total=0 m s
    times >"$work/times"
    line=$(tail -n 1 "$work/times")
    for field in $line; do
        m=${field%%m*}
        s=${field#*m}
        s=${s%s}
        total=$((total + m * 60000000 + 10#${s%.*} * 1000000 + 10#${s#*.} * 1000))
    done
    cpu_us=$total
}

# "median wall ms  mean CPU ms" over RUNS runs of the command.
measure() {
    local times=() start end cpu
    children_cpu_us
    cpu=$cpu_us
    for ((i = 0; i < runs; i++)); do
        start=$EPOCHREALTIME
        "$@" >/dev/null
        end=$EPOCHREALTIME
        times+=("$((${end/./} - ${start/./}))")
    done
    children_cpu_us
    cpu=$((cpu_us - cpu))
    printf '%s\n' "${times[@]}" | sort -n | awk -v cpu="$cpu" -v runs="$runs" '{ t[NR] = $1 } END {
        m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
        printf "%8.2f ms wall (median) %8.2f ms CPU (mean)\n", m / 1000, cpu / runs / 1000 }'
}

"$program" --csv "$work/warm.csv" "$sample" # the page cache, not the first run, is measured
echo "$runs runs each"
echo "/bin/true             : $(measure /bin/true)"
echo "C++, one line         : $(measure "$work/hello")"
echo "QCoreApplication      : $(measure "$work/qtcore")"
echo "linked to Qt Gui      : $(measure "$work/qtgui")"
echo "zeb-fiches --csv      : $(measure "$program" --csv "$work/out.csv" "$sample")"
echo "zeb-fiches --pdf      : $(measure "$program" --pdf "$work/out.pdf" "$sample")"
