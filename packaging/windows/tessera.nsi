; The Windows installer of Tessera_RS-485: the window, tessera-cli, the Qt libraries and
; plugins, the compiler's runtime and the help into Program Files, a Start-menu entry and an
; uninstaller. Silent with /S.
;
; Made by packaging/windows/make-installer.sh, which passes:
;   VERSION    the program's version (CMake's PROJECT_VERSION, the same as --version)
;   OUTFILE    the installer to write, tessera-<version>-setup.exe
;   FILES      an include file of SetOutPath/File lines: the folder being installed
;   UNFILES    an include file of Delete/RMDir lines: exactly those files and folders
; A 64-bit installer for the 64-bit program (it also runs where only 64-bit Wine is).
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define PRODUCT "Tessera_RS-485"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "${PRODUCT}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\tessera.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

; The update check starts the installer and ends the program at once; a program started by
; hand may still be running. Its files are replaced only once it has gone: first it is asked
; to close (it then saves its settings), then, if it stays, it is ended.
!macro WaitForProgramGone un
Function ${un}WaitForProgramGone
    StrCpy $1 0
    ${Do}
        ${IfNot} ${FileExists} "$INSTDIR\tessera.exe"
            Return
        ${EndIf}
        ClearErrors
        FileOpen $0 "$INSTDIR\tessera.exe" a
        ${IfNot} ${Errors}
            FileClose $0
            Return
        ${EndIf}
        ${If} $1 = 10
            nsExec::Exec 'taskkill /IM tessera.exe'
            Pop $0
        ${ElseIf} $1 = 40
            nsExec::Exec 'taskkill /F /IM tessera.exe'
            Pop $0
        ${ElseIf} $1 = 60
            MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\tessera.exe" /SD IDOK
            Abort
        ${EndIf}
        Sleep 250
        IntOp $1 $1 + 1
    ${Loop}
FunctionEnd
!macroend
!insertmacro WaitForProgramGone ""
!insertmacro WaitForProgramGone "un."

Function .onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "Tessera_RS-485"
    Call WaitForProgramGone
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\tessera.exe"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Справка.lnk" "$INSTDIR\help\help_ru.html"
    CreateShortCut "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tessera.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes what the installer put there and nothing else: the user's settings (in Documents)
; and anything added to the folder stay.
Section "Uninstall"
    Call un.WaitForProgramGone
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    ; The uninstaller the user started runs on until its copy has begun: its own file goes only
    ; when it has closed, so the folder is asked again for a few seconds.
    StrCpy $R0 0
  rmdir_again:
    RMDir "$INSTDIR"
    IfFileExists "$INSTDIR\*.*" 0 rmdir_done
    IntOp $R0 $R0 + 1
    IntCmp $R0 50 rmdir_done 0 rmdir_done
    Sleep 100
    Goto rmdir_again
  rmdir_done:
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Справка.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Удалить ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
