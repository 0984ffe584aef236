#!/bin/sh
# The real zeb06ce2.exe under Wine, on the virtual display xvfb-run gives it: started with an
# export as its argument, as "Ouvrir avec ZEB" does, it shows its main window "EVALUATION CE2",
# then, the class loaded, the window of the results; the class's work files are written.
#
#   ProgramShowsTheClass.sh PREFIX SAMPLE WINE-RUN... PROGRAM.exe
#
# Writing a sheet with "Fichier PDF" is checked in the same Windows build, in-process, by
# zeb_ui_tests under Wine (PreviewTest.PdfButtonSavesThePreviewedSheetUnderThePupilsName and
# PreviewTest.WithNoPrinterTheTeacherMayKeepTheSheetsInAPdfFile): clicking through the real
# program's save dialog on a display without a window manager is not reliable.
set -eu
prefix=$1 sample=$2
shift 2
log=$(mktemp)
trap 'rm -f "$log"' EXIT

# The work files of an earlier run must not pass for this one's.
rm -rf "$prefix"/drive_c/users/*/AppData/Local/zeb/TMP
"$@" "$sample" >"$log" 2>&1 &
program=$!

main= results=
for _ in $(seq 600); do
  windows=$(xwininfo -root -tree 2>/dev/null || true)
  case "$windows" in *'"EVALUATION CE2"'*) main=1 ;; esac
  case "$windows" in *'" EVALUATION CE2 - Traitement des r'*) results=1 ;; esac
  [ -z "$results" ] || break
  kill -0 "$program" 2>/dev/null || break
  sleep 0.1
done
work=$(find "$prefix/drive_c/users" -path '*/AppData/Local/zeb/TMP/Fichier1.c01' 2>/dev/null | head -n 1)
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
WINEPREFIX=$prefix "$(dirname "$(readlink -f "$(command -v wine64 || echo /usr/lib/wine/wine64)")")/wineserver" -k 2>/dev/null || true

failed=
[ -n "$main" ] || { echo "la fenêtre principale « EVALUATION CE2 » ne s'est pas montrée" >&2; failed=1; }
[ -n "$results" ] || { echo "la fenêtre « Traitement des résultats » ne s'est pas montrée : la classe n'est pas chargée" >&2; failed=1; }
if [ -z "$work" ] || ! grep -q CHAPUIS "$work"; then
  echo "les fichiers de travail de la classe exemple (Fichier1.c01) manquent" >&2
  failed=1
fi
if [ -n "$failed" ]; then
  echo "--- sortie du programme :" >&2
  cat "$log" >&2
  exit 1
fi
echo "zeb06ce2.exe : fenêtre principale, puis la classe exemple chargée ($work)"
