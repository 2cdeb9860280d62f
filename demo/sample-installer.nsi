; A small installer for the demonstration of `make run`: a few files, a
; registry key with values, a WIN.INI section and a private .INI file.
; Built with makensis -INPUTCHARSET UTF8 -DOUTFILE=<installer.exe>.
Target amd64-unicode
Name "Exemple"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Exemple"
RequestExecutionLevel admin
; -DSILENT: silent without /S, for a test that starts it as the install
; wizard does, with no arguments.
!ifdef SILENT
SilentInstall silent
!else
SilentInstall normal
!endif

Section "Exemple"
  SetOutPath "$INSTDIR"
  FileOpen $0 "$INSTDIR\LISEZMOI.TXT" w
  FileWrite $0 "Exemple 1.0 : programme de démonstration.$\r$\n"
  FileClose $0
  CreateDirectory "$INSTDIR\Données"
  FileOpen $0 "$INSTDIR\Données\exemple.dat" w
  FileWrite $0 "0123456789$\r$\n"
  FileClose $0
  WriteINIStr "$INSTDIR\exemple.ini" "Réglages" "Couleur" "bleu"

  WriteRegStr HKLM "Software\Exemple" "Version" "1.0"
  WriteRegStr HKLM "Software\Exemple" "Dossier" "$INSTDIR"
  WriteRegDWORD HKLM "Software\Exemple" "Installé" 1
  WriteRegBin HKLM "Software\Exemple" "Clé" 01ABFF
  WriteRegStr HKLM "Software\Exemple\Options" "Langue" "Français"

  WriteINIStr "$WINDIR\win.ini" "Exemple" "Dossier" "$INSTDIR"
  WriteINIStr "$WINDIR\win.ini" "Exemple" "Version" "1.0"

  WriteUninstaller "$INSTDIR\desinstaller.exe"
SectionEnd

Section "Uninstall"
  DeleteINISec "$WINDIR\win.ini" "Exemple"
  DeleteRegKey HKLM "Software\Exemple"
  RMDir /r "$INSTDIR"
SectionEnd
