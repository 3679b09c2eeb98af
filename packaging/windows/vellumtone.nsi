; Installer for all users: the program, its licence and readme, a Start-menu
; shortcut and an uninstaller that removes all of it again.
; A 64-bit installer for the 64-bit program: it runs wherever the program does.
Target amd64-unicode
!ifndef VERSION
  !error "makensis -DVERSION=x.y -DSOURCE_DIR=... -DOUT_FILE=..."
!endif

Name "Vellumtone ${VERSION}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\Vellumtone"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellumtone"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Vellumtone"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${SOURCE_DIR}\vellumtone.exe"
  File "${SOURCE_DIR}\LICENSE.txt"
  File "${SOURCE_DIR}\readme.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vellumtone.lnk" "$INSTDIR\vellumtone.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Vellumtone"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vellumtone.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Vellumtone.lnk"
  Delete "$INSTDIR\vellumtone.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
