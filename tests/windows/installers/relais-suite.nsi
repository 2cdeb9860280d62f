; The second program of relais-setup.exe: it says that it runs (a file
; beside it, off the recorded disk), waits until the test lets it go on
; (continuer.txt beside it; a minute at most), then installs one file and
; one registry value and ends. Built by build-installers.sh.
Unicode true
Target amd64-unicode
Name "Relais suite"
OutFile "${OUTDIR}\relais-suite.exe"
RequestExecutionLevel user
SilentInstall silent

Section "Suite"
  FileOpen $0 "$EXEDIR\suite-lancee.txt" w
  FileClose $0
  StrCpy $2 0
  wait:
    IfFileExists "$EXEDIR\continuer.txt" go
    IntCmp $2 600 go
    Sleep 100
    IntOp $2 $2 + 1
    Goto wait
  go:
  FileOpen $0 "K:\Relais\suite.txt" w
  FileWrite $0 "second programme"
  FileClose $0
  ReadEnvStr $1 PV_TEST_HKLM
  WriteRegStr HKCU "$1\Software\Relais" "Suite" "installée"
SectionEnd
