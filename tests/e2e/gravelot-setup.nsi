; The installer of the end-to-end undo test: what a real setup program of
; the time does to a machine, every kind of change the program records.
; Built with makensis -INPUTCHARSET UTF8 -DOUTFILE=<installer.exe>.
;
; undo-e2e.sh prepares, before the reference state is recorded, what this
; installer changes rather than adds: C:\AUTOEXEC.BAT, C:\windows\atelier.ini,
; the keys HKCU\Software\Atelier and HKCU\Software\Atelier\Vieux, and the
; shared library C:\windows\system32\commun.dll with its SharedDLLs count 1.
Target amd64-unicode
Name "Gravelot"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Gravelot"
RequestExecutionLevel admin
SilentInstall normal

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Gravelot"
!define SHARED_DLLS "Software\Microsoft\Windows\CurrentVersion\SharedDLLs"

Section "Gravelot"
  ; Files in several directories, names longer than 8.3, with blanks and
  ; accents, and an empty directory.
  SetOutPath "$INSTDIR"
  FileOpen $0 "$INSTDIR\gravelot.exe" w
  FileWrite $0 "MZ Gravelot 2.1"
  FileClose $0
  FileOpen $0 "$INSTDIR\Notes de version.txt" w
  FileWrite $0 "Gravelot 2.1 : première version publiée.$\r$\n"
  FileClose $0
  CreateDirectory "$INSTDIR\bin"
  FileOpen $0 "$INSTDIR\bin\outils.dll" w
  FileWrite $0 "MZ outils"
  FileClose $0
  CreateDirectory "$INSTDIR\Données\Modèles"
  FileOpen $0 "$INSTDIR\Données\Modèles\lettre.dot" w
  FileWrite $0 "Madame, Monsieur,$\r$\n"
  FileClose $0
  FileOpen $0 "$INSTDIR\Données\index.dat" w
  FileWrite $0 "0123456789"
  FileClose $0
  CreateDirectory "$INSTDIR\Journaux"
  WriteINIStr "$INSTDIR\gravelot.ini" "Fenêtre" "Largeur" "640"

  ; A library of its own in the system directory, counted in SharedDLLs,
  ; and one more user of a library that is already there.
  FileOpen $0 "$SYSDIR\gravelot.dll" w
  FileWrite $0 "MZ gravelot.dll"
  FileClose $0
  WriteRegDWORD HKLM "${SHARED_DLLS}" "$SYSDIR\gravelot.dll" 1
  ReadRegDWORD $1 HKLM "${SHARED_DLLS}" "$SYSDIR\commun.dll"
  IntOp $1 $1 + 1
  WriteRegDWORD HKLM "${SHARED_DLLS}" "$SYSDIR\commun.dll" $1

  ; Keys and values of the three kinds, under HKLM and HKCU.
  WriteRegStr HKLM "Software\Gravelot" "" "Gravelot 2.1"
  WriteRegStr HKLM "Software\Gravelot" "Dossier" "$INSTDIR"
  WriteRegDWORD HKLM "Software\Gravelot" "Version" 0x00020001
  WriteRegBin HKLM "Software\Gravelot" "Licence" 47A1005EFF
  WriteRegStr HKLM "Software\Gravelot\Modules" "Correcteur" "Français"
  WriteRegStr HKCU "Software\Gravelot\Préférences" "Langue" "fr"
  WriteRegDWORD HKCU "Software\Gravelot\Préférences" "Démarrage" 1
  WriteRegBin HKCU "Software\Gravelot\Préférences" "Fenêtre" 0A000A0080024001

  ; Changes to keys that were there before: a value added, one changed,
  ; one deleted, and a whole key with its values deleted.
  WriteRegStr HKCU "Software\Atelier" "Gravelot" "$INSTDIR"
  WriteRegStr HKCU "Software\Atelier" "Couleur" "bleu"
  DeleteRegValue HKCU "Software\Atelier" "Ancienne"
  DeleteRegKey HKCU "Software\Atelier\Vieux"

  ; The Uninstall entry.
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Gravelot 2.1"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\desinstaller.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteUninstaller "$INSTDIR\desinstaller.exe"

  ; WIN.INI (a section of its own: Wine keeps the standard ones in the
  ; registry) and an existing private .INI file: an entry added to a
  ; section, one changed, a section added.
  WriteINIStr "$WINDIR\win.ini" "Gravelot" "Dossier" "$INSTDIR"
  WriteINIStr "$WINDIR\win.ini" "Gravelot" "Version" "2.1"
  WriteINIStr "$WINDIR\atelier.ini" "Général" "Couleur" "bleu"
  WriteINIStr "$WINDIR\atelier.ini" "Général" "Gravelot" "oui"
  WriteINIStr "$WINDIR\atelier.ini" "Gravelot" "Modèles" "$INSTDIR\Données\Modèles"

  ; A line added to the end of AUTOEXEC.BAT.
  FileOpen $0 "C:\AUTOEXEC.BAT" a
  FileSeek $0 0 END
  FileWrite $0 "SET GRAVELOT=C:\PROGRA~1\GRAVELOT$\r$\n"
  FileClose $0
SectionEnd

Section "Uninstall"
  RMDir /r "$INSTDIR"
SectionEnd
