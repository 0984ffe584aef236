#!/usr/bin/env bash
# Whole-process time of the Windows zeb-fiches.exe under Wine beside the Linux zeb-fiches, on the
# sample class: the scores CSV, and the class's PDF (both subjects: 50 pages). Beside them, what
# Wine itself costs: a C++ program that prints one line, built with the same MinGW compiler and
# run the same way. Runs alternate (Linux, Windows, Linux, Windows...) so that a machine busy
# for a while weighs on both alike; prints the median wall time of RUNS runs of each.
#
#   bench/windows-vs-linux.sh [WINDOWS_FOLDER] [LINUX_BUILD] [RUNS]
#
# WINDOWS_FOLDER is the ZEB folder as installed (build-windows/windows-folder/ZEB, made by
# ./dev.sh windows), LINUX_BUILD a Linux build folder (build). Wine runs in a prefix of its own
# whose server stays up between runs, as Windows itself does: its start-up, about 20 s for a new
# prefix, is not counted; each program's own start under Wine is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
folder=$(realpath "${1:-$here/../build-windows/windows-folder/ZEB}")
build=$(realpath "${2:-$here/../build}")
runs=${3:-9}
sample=$(realpath "$here/../examples/classe-ce2-exemple.jad")
for file in "$folder/zeb-fiches.exe" "$build/bin/zeb-fiches"; do
  [ -x "$file" ] || [ -f "$file" ] || { echo "$file est introuvable" >&2; exit 1; }
done

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64 # Debian's wine64 alone does not put it on the PATH
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver

work=$(mktemp -d)
mkdir "$work/home" # Wine links the prefix's Desktop and Documents to HOME: not the user's
export WINEPREFIX=$work/wine HOME=$work/home WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  # Wine's server, which would linger and write its registry a few seconds later, is stopped
  # first. Debian's Wine names the server's own folder in the prefix (/tmp/wine-XXXXXX), which
  # goes too.
  local tag
  tag=$(cat "$WINEPREFIX/wineserver" 2>/dev/null || true)
  "$wineserver" -k 2>/dev/null || true
  "$wineserver" -w 2>/dev/null || true
  rm -rf "$work"
  case "$tag" in wine-??????) rm -rf "/tmp/$tag" ;; esac
}
trap cleanup EXIT

# Wine's hello: linked as the programs are (MinGW's libstdc++ as a DLL), beside the folder's DLLs.
mkdir "$work/hello"
printf '#include <iostream>\nint main() { std::cout << "bonjour\\n"; }\n' |
  x86_64-w64-mingw32-g++-posix -O2 -x c++ - -o "$work/hello/hello.exe"
cp "$folder"/lib*.dll "$work/hello/"

mkdir "$WINEPREFIX"
"$wineserver" -p # stays up between runs
"$wine" wineboot --init >/dev/null 2>&1

# Wall microseconds of one run of the command, appended to the file named first.
time_once() {
  local file=$1 start end
  shift
  start=$EPOCHREALTIME
  "$@" >/dev/null 2>&1 || { echo "échec : $*" >&2; exit 1; }
  end=$EPOCHREALTIME
  echo $((${end/./} - ${start/./})) >>"$work/times-$file"
}
median_ms() {
  sort -n "$work/times-$1" | awk '{ t[NR] = $1 } END {
    m = (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2
    printf "%8.1f ms", m / 1000 }'
}

linux_csv=("$build/bin/zeb-fiches" --csv "$work/linux.csv" "$sample")
windows_csv=("$wine" "$folder/zeb-fiches.exe" --csv "$work/windows.csv" "$sample")
linux_pdf=("$build/bin/zeb-fiches" --pdf "$work/linux.pdf" "$sample")
windows_pdf=("$wine" "$folder/zeb-fiches.exe" --pdf "$work/windows.pdf" "$sample")
hello=("$wine" "$work/hello/hello.exe")

# One run of each first, unmeasured: the page cache and Wine's own files are warm.
time_once warm-up "${linux_csv[@]}"
time_once warm-up "${windows_csv[@]}"
time_once warm-up "${linux_pdf[@]}"
time_once warm-up "${windows_pdf[@]}"
time_once warm-up "${hello[@]}"
pages=$(pdfinfo "$work/windows.pdf" 2>/dev/null | sed -n 's/^Pages: *//p')
cmp -s "$work/linux.csv" "$work/windows.csv" || echo "Attention : les CSV de Linux et de Windows diffèrent" >&2

for ((i = 0; i < runs; i++)); do
  time_once linux_csv "${linux_csv[@]}"
  time_once windows_csv "${windows_csv[@]}"
  time_once linux_pdf "${linux_pdf[@]}"
  time_once windows_pdf "${windows_pdf[@]}"
  time_once hello "${hello[@]}"
done

echo "Médiane de $runs exécutions, alternées ; $("$wine" --version 2>/dev/null)"
line() { printf '%-40s : %s\n' "$1" "$(median_ms "$2")"; }
line "zeb-fiches --csv, Linux" linux_csv
line "zeb-fiches.exe --csv, Wine" windows_csv
line "zeb-fiches --pdf (${pages:-?} pages), Linux" linux_pdf
line "zeb-fiches.exe --pdf (${pages:-?} pages), Wine" windows_pdf
line "hello.exe (MinGW, une ligne), Wine" hello
