; The per-user installer of Tarnwick: no administrator prompt, into
; %LOCALAPPDATA%\Programs\Tarnwick, a Start-menu shortcut and an uninstall entry under
; HKCU, and "Tarnwick 分割" in the user's Send To menu. Built by packaging/make-dist:
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
!include "LogicLib.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tarnwick"
!define SETTINGS_KEY "Software\Tarnwick"
!define SHORTCUT "$SMPROGRAMS\Tarnwick.lnk"
; Send To passes the chosen file to the program, which fills its boxes with it.
!define SENDTO_SHORTCUT "$SENDTO\Tarnwick 分割.lnk"
; Held by each running tarnwick.exe and tarnwick-split.exe (platform/running_mark.h).
!define RUNNING_MUTEX "Local\Tarnwick.Running"

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

; A running Tarnwick program keeps its files from being replaced or removed. It runs when
; the mutex that each one holds exists, or when an installed program cannot be opened for
; writing (a copy of a version without the mutex). The user is asked to close it and try
; again; silent, or cancelled, the (un)installer ends with status 2 having changed nothing.
!macro REFUSE_WHILE_RUNNING UN
Function ${UN}RefuseWhileRunning
  Push $0
  check:
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${RUNNING_MUTEX}") p .r0'
    StrCmp $0 0 +3
      System::Call 'kernel32::CloseHandle(p r0)'
      Goto running
    !insertmacro IN_USE_GOTO "$INSTDIR\tarnwick.exe" running
    !insertmacro IN_USE_GOTO "$INSTDIR\tarnwick-split.exe" running
    Pop $0
    Return
  running:
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Tarnwick 正在运行（tarnwick.exe 或 tarnwick-split.exe）。$\r$\n请先关闭它，然后点“重试”。" \
      /SD IDCANCEL IDRETRY check
    SetErrorLevel 2
    Quit
FunctionEnd
!macroend
; Goes to LABEL when the existing file PATH cannot be opened for writing.
!macro IN_USE_GOTO PATH LABEL
  IfFileExists "${PATH}" 0 +5
    ClearErrors
    FileOpen $0 "${PATH}" a
    IfErrors ${LABEL}
    FileClose $0
!macroend
!insertmacro REFUSE_WHILE_RUNNING ""
!insertmacro REFUSE_WHILE_RUNNING "un."

; Every write or removal that fails is an error, in silent mode too: the user may retry it
; (a file can be held for a moment, by a virus scanner say); otherwise the (un)installer
; stops with status 2. ID makes the labels of each use unique.
!macro FAIL_UNLESS_DONE WHAT ID
  IfErrors 0 done_${ID}
    MessageBox MB_RETRYCANCEL|MB_ICONSTOP "${WHAT}失败。$\r$\n请关闭正在使用它的程序，然后点“重试”。" \
      /SD IDCANCEL IDRETRY retry_${ID}
    SetErrorLevel 2
    Abort "${WHAT}失败"
  done_${ID}:
!macroend
!macro INSTALL_FILE NAME ID
  retry_${ID}:
    ClearErrors
    File "${STAGE}/${NAME}"
  !insertmacro FAIL_UNLESS_DONE "写入 $INSTDIR\${NAME} " ${ID}
!macroend
; A file just left by a program that has ended (the uninstaller's own first copy) may still
; be held for a moment: removing it is tried for a few seconds before it counts as failed.
!macro REMOVE_FILE PATH ID
  StrCpy $1 0
  retry_${ID}:
    ClearErrors
    Delete "${PATH}"
    IfErrors 0 done_${ID}
    IntOp $1 $1 + 1
    IntCmp $1 20 +3 0 +3
      Sleep 200
      Goto retry_${ID}
    StrCpy $1 0
  !insertmacro FAIL_UNLESS_DONE "删除 ${PATH} " ${ID}
!macroend

Function .onInit
  Call RefuseWhileRunning
FunctionEnd

Function un.onInit
  Call un.RefuseWhileRunning
FunctionEnd

Section "Tarnwick"
  ; Again: the folder may have been changed, or a program started, since the first check.
  Call RefuseWhileRunning
  SetOutPath "$INSTDIR"
  SetOverwrite try
  !insertmacro INSTALL_FILE tarnwick.exe gui
  !insertmacro INSTALL_FILE tarnwick-split.exe cli
  !insertmacro INSTALL_FILE 使用说明.txt readme
  retry_entry:
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "${SHORTCUT}" "$INSTDIR\tarnwick.exe" "" "$INSTDIR\tarnwick.exe" 0
  CreateShortcut "${SENDTO_SHORTCUT}" "$INSTDIR\tarnwick.exe" "" "$INSTDIR\tarnwick.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tarnwick"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${TARNWICK_VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${TARNWICK_PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tarnwick.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  !insertmacro FAIL_UNLESS_DONE "写入卸载程序、快捷方式（开始菜单、发送到）或卸载信息" entry
  ; In KiB, as "Programs and Features" expects.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  retry_size:
  ClearErrors
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
  !insertmacro FAIL_UNLESS_DONE "写入卸载信息" size
SectionEnd

; Removes exactly what the installer put there (never the whole folder with whatever a
; user keeps in it); the stored setting only when the user says so, and never when silent.
Section "Uninstall"
  !insertmacro REMOVE_FILE "$INSTDIR\tarnwick.exe" gui
  !insertmacro REMOVE_FILE "$INSTDIR\tarnwick-split.exe" cli
  !insertmacro REMOVE_FILE "$INSTDIR\使用说明.txt" readme
  ; Run in place (uninstall.exe _?=FOLDER) the uninstaller cannot remove itself; whoever ran
  ; it so removes it and the folder afterwards.
  ${If} $EXEPATH != "$INSTDIR\uninstall.exe"
    !insertmacro REMOVE_FILE "$INSTDIR\uninstall.exe" self
    ; A folder that still holds files of the user's stays.
    RMDir "$INSTDIR"
  ${EndIf}
  !insertmacro REMOVE_FILE "${SHORTCUT}" shortcut
  !insertmacro REMOVE_FILE "${SENDTO_SHORTCUT}" sendto
  retry_entry:
  ClearErrors
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; An entry that is not there (removed by hand, say) has not failed to go.
  ${If} ${Errors}
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "UninstallString"
    ${IfNot} ${Errors}
      SetErrors
    ${EndIf}
  ${EndIf}
  !insertmacro FAIL_UNLESS_DONE "删除卸载信息" entry
  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
    "是否同时删除 Tarnwick 保存的设置（每个文件行数和切分选项）？" /SD IDNO IDNO keep_settings
  DeleteRegKey HKCU "${SETTINGS_KEY}"
keep_settings:
SectionEnd
