; Starting with Windows: a shortcut in the all-users Startup folder that runs
;   vellicor.exe COMn --log "<path>"
; the line of the Linux autostart entry: at every login the program opens the port, waits for
; the regulator and appends to the log. The choice is kept in the registry for upgrades.

Var AutostartPort ; "COMn", or empty when the program does not start with Windows
Var AutostartLog
Var AutostartBox
Var PortField
Var LogField

!define AUTOSTART_HELP "At every login the program opens this port, waits for the regulator if it is not there yet, and appends to the log file: every line logged before stays.$\n$\nA paired Bluetooth regulator has its COM port in Device Manager, under Ports (COM && LPT): the one named $\"Standard Serial over Bluetooth link$\" that is outgoing (Bluetooth settings, More Bluetooth options, COM Ports)."

; The installed version's choice, or none; the log file by default in the Documents of the user
; who runs the setup.
Function ReadAutostartChoice
    ReadRegStr $AutostartPort HKLM "${SETTINGS_KEY}" "AutostartPort"
    ReadRegStr $AutostartLog HKLM "${SETTINGS_KEY}" "AutostartLog"
    ${If} $AutostartLog == ""
        SetShellVarContext current
        StrCpy $AutostartLog "$DOCUMENTS\Vellicor\ph-log.txt"
        SetShellVarContext all
    ${EndIf}
FunctionEnd

; Pushes what is wrong with the choice, or "" when it can go on a command line as it is. The
; port becomes upper case (COM5); the log path must be whole, since the shortcut runs from no
; particular folder, and must not be able to end the quotes around it on the command line.
Function CheckAutostart
    ${If} $AutostartPort == ""
        Push ""
        Return
    ${EndIf}
    StrCpy $0 $AutostartPort 3
    StrCpy $1 $AutostartPort "" 3
    ; IntOp gives back the same text only for a plain decimal number without leading zeros.
    IntOp $2 $1 + 0
    ${If} $0 != "COM"
    ${OrIf} $2 != $1
    ${OrIf} $2 < 1
    ${OrIf} $2 > 255
        Push "$\"$AutostartPort$\" is no COM port: type it as COM1 to COM255."
        Return
    ${EndIf}
    StrCpy $AutostartPort "COM$2"

    StrCpy $0 $AutostartLog 3
    StrCpy $1 $AutostartLog 2
    StrCpy $2 $AutostartLog 1 -1
    StrCpy $3 $0 2 1
    ${If} $3 != ":\"
    ${AndIf} $1 != "\\"
        Push "The log file needs its whole path, for example C:\Users\you\Documents\Vellicor\ph-log.txt."
        Return
    ${EndIf}
    ${If} $2 == "\"
        Push "The log file needs a file name after the folder, for example ph-log.txt."
        Return
    ${EndIf}
    StrLen $4 $AutostartLog
    StrCpy $5 0
    ${DoWhile} $5 < $4
        StrCpy $6 $AutostartLog 1 $5
        ${If} $6 == '"'
        ${OrIf} $6 == "<"
        ${OrIf} $6 == ">"
        ${OrIf} $6 == "|"
        ${OrIf} $6 == "*"
        ${OrIf} $6 == "?"
            Push "A file name cannot hold the character $6: choose another log file name."
            Return
        ${EndIf}
        ${If} $5 > 1
        ${AndIf} $6 == ":"
            Push "A file name cannot hold the character $6: choose another log file name."
            Return
        ${EndIf}
        IntOp $5 $5 + 1
    ${Loop}
    Push ""
FunctionEnd

; A silent setup's /AUTOSTART= and /LOG=; pushes "" or what is wrong with them. The command
; line is split as every Windows program splits it, so /LOG="C:\My logs\ph.txt" and
; "/LOG=C:\My logs\ph.txt" (as PowerShell passes an argument with a space) both work.
Function ReadAutostartOptions
    System::Call 'kernel32::GetCommandLineW() p .r0'
    System::Call 'shell32::CommandLineToArgvW(p r0, *i .r1) p .r0'
    ${If} $0 == 0
        Push "The command line cannot be read."
        Return
    ${EndIf}
    StrCpy $2 1
    ${DoWhile} $2 < $1
        IntPtrOp $3 $2 * ${NSIS_PTR_SIZE}
        IntPtrOp $3 $0 + $3
        System::Call '*$3(w .r4)'
        StrCpy $5 $4 11
        StrCpy $6 $4 5
        ${If} $5 == "/AUTOSTART="
            StrCpy $AutostartPort $4 "" 11
        ${ElseIf} $6 == "/LOG="
            StrCpy $AutostartLog $4 "" 5
        ${EndIf}
        IntOp $2 $2 + 1
    ${Loop}
    System::Call 'kernel32::LocalFree(p r0)'
    Call CheckAutostart
FunctionEnd

Function AutostartPageShow
    !insertmacro MUI_HEADER_TEXT "Start with Windows" "Log the regulator from every login, with nobody at the PC."
    nsDialogs::Create 1018
    Pop $0
    ${If} $0 == error
        Abort
    ${EndIf}
    ${NSD_CreateCheckbox} 0 0 100% 12u "Start with Windows and log to ..."
    Pop $AutostartBox
    ${NSD_OnClick} $AutostartBox AutostartBoxClicked
    ${NSD_CreateLabel} 12u 22u 48u 10u "COM port:"
    Pop $0
    ${NSD_CreateText} 62u 20u 50u 12u "$AutostartPort"
    Pop $PortField
    ${NSD_CreateLabel} 12u 40u 48u 10u "Log file:"
    Pop $0
    ${NSD_CreateText} 62u 38u 180u 12u "$AutostartLog"
    Pop $LogField
    ${NSD_CreateButton} 246u 37u 50u 14u "Browse..."
    Pop $0
    ${NSD_OnClick} $0 BrowseLogFile
    ${NSD_CreateLabel} 0 62u 100% 70u "${AUTOSTART_HELP}"
    Pop $0
    ${If} $AutostartPort != ""
        ${NSD_Check} $AutostartBox
    ${EndIf}
    Push $AutostartBox
    Call AutostartBoxClicked
    nsDialogs::Show
FunctionEnd

Function AutostartBoxClicked
    Pop $0
    ${NSD_GetState} $AutostartBox $0
    ${If} $0 <> ${BST_CHECKED}
        StrCpy $0 0
    ${EndIf}
    EnableWindow $PortField $0
    EnableWindow $LogField $0
FunctionEnd

Function BrowseLogFile
    Pop $0
    ${NSD_GetText} $LogField $1
    nsDialogs::SelectFileDialog save "$1" "Text files (*.txt)|*.txt|All files|*.*"
    Pop $1
    ${If} $1 != ""
        ${NSD_SetText} $LogField $1
    ${EndIf}
FunctionEnd

Function AutostartPageLeave
    ${NSD_GetState} $AutostartBox $0
    ${NSD_GetText} $PortField $1
    ${NSD_GetText} $LogField $AutostartLog
    StrCpy $AutostartPort ""
    ${If} $0 = ${BST_CHECKED}
        ${If} $1 == ""
            MessageBox MB_ICONEXCLAMATION "Type the regulator's COM port, for example COM5."
            Abort
        ${EndIf}
        StrCpy $AutostartPort $1
    ${EndIf}
    Call CheckAutostart
    Pop $0
    ${If} $0 != ""
        MessageBox MB_ICONEXCLAMATION "$0"
        Abort
    ${EndIf}
FunctionEnd

; Makes the Startup shortcut as chosen (or removes it) and records the choice for upgrades.
; The log's folder is made here: the program refuses a log in a folder that does not exist.
Function WriteAutostart
    Delete "$SMSTARTUP\${PRODUCT}.lnk"
    ${If} $AutostartPort == ""
        DeleteRegKey HKLM "${SETTINGS_KEY}"
        Return
    ${EndIf}
    ${GetParent} "$AutostartLog" $0
    ClearErrors
    CreateDirectory "$0"
    ${If} ${Errors}
        DetailPrint "Cannot make the log's folder $0"
    ${EndIf}
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMSTARTUP\${PRODUCT}.lnk" "$INSTDIR\vellicor.exe" \
        '$AutostartPort --log "$AutostartLog"' "$INSTDIR\vellicor.exe" 0 SW_SHOWNORMAL "" \
        "Logs the regulator on $AutostartPort into $AutostartLog"
    WriteRegStr HKLM "${SETTINGS_KEY}" "AutostartPort" "$AutostartPort"
    WriteRegStr HKLM "${SETTINGS_KEY}" "AutostartLog" "$AutostartLog"
FunctionEnd
