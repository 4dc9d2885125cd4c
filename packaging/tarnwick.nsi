; The per-user installer of Tarnwick: no administrator prompt, into
; %LOCALAPPDATA%\Programs\Tarnwick, a Start-menu shortcut and an uninstall entry under
; HKCU. Built by packaging/make-dist:
;   makensis -INPUTCHARSET UTF8 -DVERSION_NSH=... -DSTAGE=... -DICON=... -DOUTFILE=... tarnwick.nsi
; STAGE holds the files to install: tarnwick.exe, tarnwick-split.exe, 使用说明.txt.
Unicode true
; 64-bit stub: the programs are 64-bit, and a 64-bit installer runs where they run.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!include "${VERSION_NSH}"
!include "MUI2.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define SETTINGS_KEY "Software\Tarnwick"
!define SHORTCUT "$SMPROGRAMS\Tarnwick.lnk"

Name "Tarnwick ${TARNWICK_VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Tarnwick"
; An installed version is replaced where it is.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tarnwick ${TARNWICK_VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\tarnwick.exe"
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\使用说明.txt"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${TARNWICK_VERSION_QUAD}"
VIFileVersion "${TARNWICK_VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "Tarnwick"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "Tarnwick 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${TARNWICK_PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "${TARNWICK_COPYRIGHT}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${TARNWICK_VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${TARNWICK_VERSION}"

Section "Tarnwick"
  SetOutPath "$INSTDIR"
  File "${STAGE}/tarnwick.exe"
  File "${STAGE}/tarnwick-split.exe"
  File "${STAGE}/使用说明.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\tarnwick.exe" "" "$INSTDIR\tarnwick.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tarnwick"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${TARNWICK_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${TARNWICK_PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnwick.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ; In KiB, as "Programs and Features" expects.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes exactly what the installer put there (never the whole folder with whatever a
; user keeps in it); the stored setting only when the user says so, and never when silent.
Section "Uninstall"
  Delete "$INSTDIR\tarnwick.exe"
  Delete "$INSTDIR\tarnwick-split.exe"
  Delete "$INSTDIR\使用说明.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "${SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "是否同时删除 Tarnwick 保存的设置（每个文件行数）？" /SD IDNO IDNO keep_settings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
keep_settings:
SectionEnd
