; The Windows setup: vellicor-<version>-windows-x64-setup.exe. scripts/windows-setup builds it
; from the folder the portable zip is made of, with
;   makensis -DVERSION=1.0.0 -DFILES=<files.nsh> -DUNFILES=<unfiles.nsh> -DOUTFILE=<setup.exe>
; where files.nsh installs every staged file and unfiles.nsh removes exactly those again, so
; the uninstaller never removes anything it did not put there (a log file kept in the program's
; folder, a folder shared with other programs).
;
; Silent:  setup.exe /S [/AUTOSTART=COMn | /AUTOSTART=] [/LOG=<path>] [/D=<folder>]
; /AUTOSTART= with nothing after it turns starting with Windows off; without it an upgrade keeps
; what the installed version had. Without /S the same options fill in the setup's page.
; Exit status 0 on success, 2 when the setup was refused or cancelled (a bad port or log path,
; a program that would not close), 740 when it runs without administrator rights.

Unicode true
; Debian's makensis makes a 32-bit setup by default, which a 64-bit-only Wine cannot run; the
; program is 64-bit anyway.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!ifndef VERSION | FILES | UNFILES | OUTFILE
    !error "Give -DVERSION=, -DFILES=, -DUNFILES= and -DOUTFILE= (scripts/windows-setup does)"
!endif

!define PRODUCT "Vellicor pH controller"
!define HISTORY "Vellicor pH history"
!define PUBLISHER "Vellicor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vellicor"
; Where the setup keeps the autostart choice, so that an upgrade can keep it.
!define SETTINGS_KEY "Software\Vellicor"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Vellicor"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include MUI2.nsh
!include nsDialogs.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh
!include RunningProgram.nsh
!include Autostart.nsh

!define MUI_ICON "${__FILEDIR__}\..\icons\icon.ico"
!define MUI_UNICON "${__FILEDIR__}\..\icons\icon.ico"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
Page custom AutostartPageShow AutostartPageLeave
!insertmacro MUI_PAGE_INSTFILES

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Without UAC (switched off, or an old policy) Windows starts the setup with the rights of whoever
; runs it; a user who is no administrator would get a setup that fails halfway in Program Files.
!macro REQUIRE_ADMIN
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 != "Admin"
        MessageBox MB_ICONSTOP "Installing and uninstalling ${PRODUCT} needs an administrator of this PC." /SD IDOK
        SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
        Quit
    ${EndIf}
!macroend

Function .onInit
    SetRegView 64
    !insertmacro REQUIRE_ADMIN
    Call ReadAutostartChoice
    ; /AUTOSTART= and /LOG= also fill in the page of a setup with a window.
    Call ReadAutostartOptions
    Pop $0
    ${If} $0 != ""
        MessageBox MB_ICONSTOP "$0" /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
FunctionEnd

Section "Install"
    SetRegView 64
    SetShellVarContext all
    Call EnsureNotRunning

    ; An installed version goes first, with its uninstaller's own list of files, so no file of
    ; it that this version no longer has stays behind. Its autostart choice was read before.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        DetailPrint "Removing version $1 from $0"
        ExecWait '"$0\uninstall.exe" /S _?=$0'
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}

    !include "${FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vellicor.exe" "" \
        "$INSTDIR\vellicor.exe" 0 SW_SHOWNORMAL "" "Shows and logs the pH controller's messages"
    CreateShortcut "$SMPROGRAMS\${HISTORY}.lnk" "$INSTDIR\vellicor.exe" "--history" \
        "$INSTDIR\vellicor.exe" 0 SW_SHOWNORMAL "" "Shows a log file as a graph"
    Call WriteAutostart

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vellicor.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Function un.onInit
    SetRegView 64
    !insertmacro REQUIRE_ADMIN
FunctionEnd

; Everything the setup made, and nothing else: the log files and their folder stay.
Section "Uninstall"
    SetRegView 64
    SetShellVarContext all
    Call un.EnsureNotRunning

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${HISTORY}.lnk"
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
