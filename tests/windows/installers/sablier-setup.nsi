; The installer of the install-wizard tests: a setup of the time, silent
; since the wizard starts it without arguments. It installs on the test
; machine's disk K: files in a new directory, a section of WIN.INI, keys and
; values, and puts back an older copy of a shared library that was there.
; The registry it writes is the one the test records: the test gives it, in
; PV_TEST_HKLM, the key of HKEY_CURRENT_USER that stands for HKLM there.
; Built by build-installers.sh.
Unicode true
Target amd64-unicode
Name "Sablier"
OutFile "${OUTDIR}\sablier-setup.exe"
InstallDir "K:\Sablier"
RequestExecutionLevel user
SilentInstall silent

Section "Sablier"
  SetOutPath "$INSTDIR"
  FileOpen $0 "$INSTDIR\sablier.exe" w
  FileWrite $0 "MZ Sablier 1.0"
  FileClose $0
  CreateDirectory "$INSTDIR\Données"
  FileOpen $0 "$INSTDIR\Données\niveaux.dat" w
  FileWrite $0 "0123456789"
  FileClose $0

  ; An older copy of a library the machine has (dated 11/06/1997).
  SetOutPath "K:\WINDOWS\SYSTEM"
  File "${OUTDIR}\commun.dll"

  WriteINIStr "K:\WINDOWS\WIN.INI" "Sablier" "Dossier" "$INSTDIR"

  ReadEnvStr $1 PV_TEST_HKLM
  WriteRegStr HKCU "$1\Software\Sablier" "Version" "1.0"
  WriteRegDWORD HKCU "$1\Software\Sablier" "Niveaux" 12
SectionEnd
