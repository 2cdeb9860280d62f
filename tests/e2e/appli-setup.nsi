; The setup of the end-to-end uninstall test: it installs the application
; built from appli.nsi, registers it for removal and writes its uninstaller.
; Silent without arguments, as the install wizard starts it; the
; uninstaller too (an NSIS uninstaller copies itself into the temporary
; folder and runs from there, the copy ending after the one started).
; Built with makensis -INPUTCHARSET UTF8 -DAPPLI=<appli.exe> -DOUTFILE=<appli-setup.exe>.
Unicode true
Target amd64-unicode
Name "Appli de démonstration"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Appli"
RequestExecutionLevel admin
SilentInstall silent
SilentUnInstall silent

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Appli"

Section "Appli"
  SetOutPath "$INSTDIR"
  File "/oname=appli.exe" "${APPLI}"
  FileOpen $0 "$INSTDIR\Lisez-moi.txt" w
  FileWrite $0 "Appli de démonstration 1.0$\r$\n"
  FileClose $0
  CreateDirectory "$INSTDIR\Modèles"
  FileOpen $0 "$INSTDIR\Modèles\lettre.dot" w
  FileWrite $0 "Madame, Monsieur,$\r$\n"
  FileClose $0
  WriteRegStr HKLM "Software\Appli" "Dossier" "$INSTDIR"
  WriteRegDWORD HKLM "Software\Appli" "Version" 0x00010000
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Appli de démonstration"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\desinstaller.exe"'
  WriteUninstaller "$INSTDIR\desinstaller.exe"
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\appli.exe"
  Delete "$INSTDIR\Lisez-moi.txt"
  Delete "$INSTDIR\Modèles\lettre.dot"
  RMDir "$INSTDIR\Modèles"
  Delete "$INSTDIR\desinstaller.exe"
  ; Not empty: the settings of the application stay in it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "Software\Appli"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
