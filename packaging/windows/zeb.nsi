; ZEB's installer for Windows: for the user who runs it, without an administrator. It copies the
; folder ZEB into %LOCALAPPDATA%\Programs\ZEB, adds the Start menu entry, lets .jad exports open
; with ZEB and registers the uninstaller, all under HKEY_CURRENT_USER. /S installs silently.
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.0 -DFOLDER=.../ZEB -DFILES=files.nsh -DICON=zeb06ce2.ico \
;            -DOUTFILE=ZEB-2.0-installation.exe zeb.nsi
;
; FOLDER is the folder to install, FILES the uninstaller's list of what it holds (ListFiles.cmake).

Unicode true
; A 64-bit installer for a 64-bit program: it runs wherever the program does, Wine's wine64 too.
Target amd64-unicode
SetCompressor /SOLID lzma

!macro ZEB_REQUIRE name
  !ifndef ${name}
    !error "${name} manque : makensis -DVERSION=... -DFOLDER=... -DFILES=... -DICON=... -DOUTFILE=... zeb.nsi"
  !endif
!macroend
!insertmacro ZEB_REQUIRE VERSION
!insertmacro ZEB_REQUIRE FOLDER
!insertmacro ZEB_REQUIRE FILES
!insertmacro ZEB_REQUIRE ICON
!insertmacro ZEB_REQUIRE OUTFILE

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "ZEB – Évaluation CE2"
!define PUBLISHER "Les auteurs de ZEB"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ZEB"
!define PROGID "ZEB.ExportJade"
!define CLASSES "Software\Classes"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT}.lnk"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\ZEB"
ManifestDPIAware true
BrandingText "ZEB ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1036 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation de ZEB ${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1036 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEPAGE_TEXT "Ce programme installe ZEB ${VERSION} pour vous seul, sans droits d'administrateur, dans le dossier $INSTDIR.$\r$\n$\r$\nZEB présente les résultats de l'évaluation CE2 d'une classe à partir de l'export .jad de J'ADE. Après l'installation, ZEB est dans le menu Démarrer et un double clic sur un fichier .jad l'ouvre."
!define MUI_FINISHPAGE_RUN "$INSTDIR\zeb06ce2.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Ouvrir ZEB"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\LISEZMOI.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Lire LISEZMOI.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "French"

; The Start menu and the user's own folders, never those of all users.
Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "ZEB"
  SetOutPath "$INSTDIR"
  File /r "${FOLDER}\*.*"
  WriteUninstaller "$INSTDIR\desinstaller.exe"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\zeb06ce2.exe" "" "$INSTDIR\zeb06ce2.exe" 0 \
    SW_SHOWNORMAL "" "Résultats de l'évaluation CE2 d'une classe (exports J'ADE)"

  ; .jad exports open with ZEB, for this user only.
  WriteRegStr HKCU "${CLASSES}\.jad" "" "${PROGID}"
  WriteRegStr HKCU "${CLASSES}\${PROGID}" "" "Export J'ADE (évaluation CE2)"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\DefaultIcon" "" "$\"$INSTDIR\zeb06ce2.exe$\",0"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell" "" "open"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open" "" "Ouvrir avec ZEB"
  WriteRegStr HKCU "${CLASSES}\${PROGID}\shell\open\command" "" "$\"$INSTDIR\zeb06ce2.exe$\" $\"%1$\""
  ; SHCNE_ASSOCCHANGED: Explorer shows the new icon and verb at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  ; Settings, Applications.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$\"$INSTDIR\zeb06ce2.exe$\",0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" "$\"$INSTDIR\desinstaller.exe$\""
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" "$\"$INSTDIR\desinstaller.exe$\" /S"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  Delete "${SHORTCUT}"

  ; .jad goes back to no program only where it is still ZEB's.
  ReadRegStr $0 HKCU "${CLASSES}\.jad" ""
  StrCmp $0 "${PROGID}" 0 +2
    DeleteRegKey HKCU "${CLASSES}\.jad"
  DeleteRegKey HKCU "${CLASSES}\${PROGID}"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'

  DeleteRegKey HKCU "${UNINSTALL_KEY}"

  ; What the installer put in place, and the folder if nothing else is left in it.
  !include "${FILES}"
  Delete "$INSTDIR\desinstaller.exe"
  RMDir "$INSTDIR"

  ; The work folder holds the teacher's choice of objectives (ZEB.CFG): kept unless the
  ; teacher says otherwise; a silent uninstall keeps it.
  IfFileExists "$LOCALAPPDATA\zeb\*.*" 0 done
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
      "Effacer aussi les données de travail de ZEB ($LOCALAPPDATA\zeb), dont les objectifs choisis ?" \
      /SD IDNO IDNO done
    RMDir /r "$LOCALAPPDATA\zeb"
  done:
SectionEnd
