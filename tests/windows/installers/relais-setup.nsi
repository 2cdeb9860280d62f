; A setup that hands its work to a second program and ends at once, as a
; setup that unpacks and starts the real installer does: it writes one file,
; starts relais-suite.exe (beside it) without waiting, and ends.
; Built by build-installers.sh.
Unicode true
Target amd64-unicode
Name "Relais"
OutFile "${OUTDIR}\relais-setup.exe"
RequestExecutionLevel user
SilentInstall silent

Section "Relais"
  CreateDirectory "K:\Relais"
  FileOpen $0 "K:\Relais\relais.txt" w
  FileWrite $0 "premier programme"
  FileClose $0
  Exec '"$EXEDIR\relais-suite.exe"'
SectionEnd
