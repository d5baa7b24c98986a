; The Windows installer: Kelvory into Program Files, a Start menu entry, kelvory-batch
; on the PATH, both programs in App Paths, Kelvory in "Open with" for TIFF files, and
; an uninstaller listed among the installed programs. windows-package.sh passes the
; version, the folder the zip was packed from and the installer's name.
; A 64-bit installer for 64-bit programs (and for a Wine without 32-bit support).
Target amd64-unicode
!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "StrFunc.nsh"
!include "WinMessages.nsh"
${StrStr}
${UnStrStr}
${UnStrRep}

Name "Kelvory ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kelvory"
InstallDirRegKey HKLM "Software\Kelvory" "InstallDir"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvory"
!define ENVIRONMENT_KEY "SYSTEM\CurrentControlSet\Control\Session Manager\Environment"
!define APP_PATHS_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths"
!define APPLICATION_KEY "Software\Classes\Applications\kelvory.exe"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

; For every user of the machine: the 64-bit registry and the common Start menu.
Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

; The installation folder joins the machine's PATH (for kelvory-batch) unless it is
; there already. A PATH this installer cannot hold whole in its strings is left as it
; is, never written back cut short; the uninstaller takes out only the entry it added.
Function AddToPath
  ; A value longer than the installer's strings reads as an error (and as nothing).
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  IfErrors path_too_long
  ; Measured apart: a joined string would itself be cut at the limit.
  StrLen $1 $0
  StrLen $2 $INSTDIR
  IntOp $1 $1 + $2
  IntOp $1 $1 + 2
  IntCmp $1 ${NSIS_MAX_STRLEN} path_too_long 0 path_too_long
  ${StrStr} $2 ";$0;" ";$INSTDIR;"
  StrCmp $2 "" 0 path_done
  StrCpy $2 $0 1 -1
  StrCmp $0 "" 0 +3
    StrCpy $0 "$INSTDIR"
    Goto path_write
  StrCmp $2 ";" 0 +3
    StrCpy $0 "$0$INSTDIR"
    Goto path_write
  StrCpy $0 "$0;$INSTDIR"
path_write:
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0"
  WriteRegDWORD HKLM "Software\Kelvory" "AddedToPath" 1
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  Goto path_done
path_too_long:
  DetailPrint "PATH cannot be read whole; kelvory-batch.exe was not added to it."
path_done:
FunctionEnd

Function un.RemoveFromPath
  ReadRegDWORD $0 HKLM "Software\Kelvory" "AddedToPath"
  StrCmp $0 1 0 unpath_done
  ClearErrors
  ReadRegStr $0 HKLM "${ENVIRONMENT_KEY}" "Path"
  IfErrors unpath_done
  StrLen $1 $0
  IntOp $1 $1 + 2
  IntCmp $1 ${NSIS_MAX_STRLEN} unpath_done 0 unpath_done
  ${UnStrStr} $2 ";$0;" ";$INSTDIR;"
  StrCmp $2 "" unpath_done
  ${UnStrRep} $0 ";$0;" ";$INSTDIR;" ";"
  ; Without the two semicolons put around it for the search.
  StrCpy $0 $0 "" 1
  StrCpy $0 $0 -1
  WriteRegExpandStr HKLM "${ENVIRONMENT_KEY}" "Path" "$0"
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
unpath_done:
FunctionEnd

Section "Kelvory" SectionPrograms
  SectionIn RO
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Kelvory.lnk" "$INSTDIR\kelvory.exe"
  WriteRegStr HKLM "Software\Kelvory" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kelvory"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Varnok Company"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\kelvory.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
  WriteRegStr HKLM "${APP_PATHS_KEY}\kelvory.exe" "" "$INSTDIR\kelvory.exe"
  WriteRegStr HKLM "${APP_PATHS_KEY}\kelvory-batch.exe" "" "$INSTDIR\kelvory-batch.exe"
  ; "Open with" for TIFF files: the window adds the file to its list.
  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "Kelvory"
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\kelvory.exe" "%1"'
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".tif" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".tiff" ""
  WriteRegStr HKLM "Software\Classes\.tif\OpenWithList\kelvory.exe" "" ""
  WriteRegStr HKLM "Software\Classes\.tiff\OpenWithList\kelvory.exe" "" ""
SectionEnd

; On by default; a user who keeps his PATH short unticks it.
Section "kelvory-batch в PATH" SectionPath
  Call AddToPath
SectionEnd

; Only what the installer put there goes: a file the user added to gdal\ (a DLL of
; a GDAL of his own) stays, and so does the folder that holds it.
Section "Uninstall"
  !include "${FILELIST}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR\gdal"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\Kelvory.lnk"
  Call un.RemoveFromPath
  DeleteRegKey HKLM "${APP_PATHS_KEY}\kelvory.exe"
  DeleteRegKey HKLM "${APP_PATHS_KEY}\kelvory-batch.exe"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "Software\Classes\.tif\OpenWithList\kelvory.exe"
  DeleteRegKey HKLM "Software\Classes\.tiff\OpenWithList\kelvory.exe"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKLM "Software\Kelvory"
SectionEnd
