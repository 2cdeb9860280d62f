; The application of the end-to-end uninstall test, itself built with
; makensis: each time it runs, it keeps its settings where applications
; keep theirs, a file beside it and a key of the user; its uninstaller
; leaves both behind, as uninstallers often do.
; Built with makensis -INPUTCHARSET UTF8 -DOUTFILE=<appli.exe>.
Unicode true
Target amd64-unicode
Name "Appli"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent

Section "Appli"
  WriteINIStr "$EXEDIR\réglages.ini" "Fenêtre" "Largeur" "640"
  WriteRegStr HKCU "Software\Appli de démonstration" "Langue" "fr"
  WriteRegDWORD HKCU "Software\Appli de démonstration" "Lancements" 1
SectionEnd
