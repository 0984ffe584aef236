#!/usr/bin/env bash
# check-installer.sh INSTALLER SAMPLE.jad: installs ZEB silently into a fresh Wine prefix of its
# own, checks the programs, the Start menu entry, the .jad association and the uninstaller's
# registration, has the installed zeb-fiches.exe write the sample's scores and sheets (the unzip
# library, the PDF module, Qt and its Windows platform, all from the installed folder), then
# uninstalls silently and checks that all of it is gone but the user's work folder. Prints what it
# checked; exits 1 at the first thing missing.
set -euo pipefail
installer=$(realpath "$1")
sample=$(realpath "$2")

wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64 # Debian's wine64 alone does not put it on the PATH
[ -x "$wine" ] || { echo "wine64 est introuvable (paquet Debian wine64)" >&2; exit 2; }
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=wineserver

# Wine links the prefix's Desktop and Documents to HOME: a home of its own, never the user's. Its
# file names follow the locale: UTF-8, for the Start menu's « Évaluation ».
work=$(mktemp -d "${TMPDIR:-/tmp}/zeb-wine-installation.XXXXXX")
mkdir "$work/home"
export WINEPREFIX=$work/wine HOME=$work/home
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d" # no Mono nor Gecko to offer, no menu entries for the Linux desktop
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
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

fail() {
  echo "ÉCHEC : $*" >&2
  exit 1
}
# Runs a Windows program and waits for every process it started (the uninstaller goes on from
# a copy of itself in the temporary folder).
run() {
  local status=0
  "$wine" "$@" || status=$?
  "$wineserver" -w
  return "$status"
}
registry() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }
windows_folder() { "$wine" winepath -u "$("$wine" cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null; }

run wineboot --init >/dev/null 2>&1
local_app_data=$(windows_folder LOCALAPPDATA)
app_data=$(windows_folder APPDATA)
folder=$local_app_data/Programs/ZEB
shortcut="$app_data/Microsoft/Windows/Start Menu/Programs/ZEB – Évaluation CE2.lnk"
work_folder=$local_app_data/zeb

run "$installer" /S
for file in zeb06ce2.exe zeb-fiches.exe Qt6Widgets.dll platforms/qwindows.dll translations/qtbase_fr.qm \
  qt.conf LISEZMOI.txt desinstaller.exe; do
  [ -f "$folder/$file" ] || fail "$file n'est pas installé dans $folder"
done
[ -f "$shortcut" ] || fail "pas d'entrée « ZEB – Évaluation CE2 » dans le menu Démarrer"
registry 'HKCU\Software\Classes\.jad' | grep -q 'REG_SZ *ZEB.ExportJade' ||
  fail ".jad n'est pas associé à ZEB"
registry 'HKCU\Software\Classes\ZEB.ExportJade\shell\open\command' | grep -qF 'zeb06ce2.exe" "%1"' ||
  fail "la commande d'ouverture des .jad ne lance pas zeb06ce2.exe"
uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEB'
registry "$uninstall" /v DisplayVersion | grep -q 'REG_SZ *2.0' || fail "la désinstallation n'est pas inscrite"
registry "$uninstall" /v QuietUninstallString | grep -qF 'desinstaller.exe" /S' ||
  fail "pas de désinstallation silencieuse inscrite"
out=$WINEPREFIX/drive_c/sortie
mkdir "$out"
run "$folder/zeb-fiches.exe" --csv 'C:\sortie\scores.csv' --pdf 'C:\sortie\fiches.pdf' "Z:$sample" >/dev/null ||
  fail "zeb-fiches.exe installé n'écrit pas les fichiers de la classe exemple"
head -c 3 "$out/scores.csv" | cmp -s - <(printf '\357\273\277') || fail "scores.csv n'est pas écrit"
head -c 5 "$out/fiches.pdf" | grep -q '%PDF-' || fail "fiches.pdf n'est pas écrit"
echo "Installation vérifiée dans $folder : programmes, menu Démarrer, type .jad, désinstallation inscrite, scores et fiches de la classe exemple"

mkdir -p "$work_folder"
echo "objectifs choisis" >"$work_folder/ZEB.CFG"
run "$folder/desinstaller.exe" /S
[ ! -e "$folder" ] || fail "$folder reste après la désinstallation : $(ls -A "$folder" | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "l'entrée du menu Démarrer reste après la désinstallation"
for key in 'HKCU\Software\Classes\.jad' 'HKCU\Software\Classes\ZEB.ExportJade' "$uninstall"; do
  ! registry "$key" >/dev/null || fail "la clé $key reste après la désinstallation"
done
[ -f "$work_folder/ZEB.CFG" ] || fail "la désinstallation silencieuse a effacé le dossier de travail $work_folder"
echo "Désinstallation vérifiée : dossier, menu Démarrer et clés retirés, dossier de travail gardé"
