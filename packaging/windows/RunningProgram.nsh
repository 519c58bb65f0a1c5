; A running program's files can be neither replaced nor removed on Windows, so the setup and the
; uninstaller first close every running copy of $INSTDIR\vellicor.exe, the way Exit does: a
; WM_CLOSE to each of its top-level windows (what taskkill without /F sends), on which the
; program closes its log file and its port and ends. They never kill it: a killed program
; could lose the last lines of its log.

!define RUNNING_ASK "${PRODUCT} is running. It has to be closed before its files are changed.$\n$\nClose it now? It ends as its Exit does: the log file is closed and nothing logged is lost."
!define RUNNING_STILL "${PRODUCT} is still running (perhaps for another user of this PC). Close it there, then choose Retry."

!macro VELLICOR_RUNNING_PROGRAM un

; Posts WM_CLOSE to every top-level window of process $R7. Children of the desktop only:
; message-only windows (Qt's event dispatcher has one) are not the program's to close.
Function ${un}CloseWindowsOfProcess
    System::Call 'user32::GetDesktopWindow() p .r0'
    StrCpy $1 0
    ${Do}
        FindWindow $1 "" "" $0 $1
        ${If} $1 == 0
            ${ExitDo}
        ${EndIf}
        System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r2)'
        ; The input method's windows are the system's, in every process.
        System::Call 'user32::GetClassNameW(p r1, w .r3, i 64)'
        ${If} $2 = $R7
        ${AndIf} $3 != "IME"
        ${AndIf} $3 != "MSCTFIME UI"
            System::Call 'user32::PostMessageW(p r1, i ${WM_CLOSE}, p 0, p 0)'
        ${EndIf}
    ${Loop}
FunctionEnd

; $R0 = how many copies of $INSTDIR\vellicor.exe run. With $R1 = 1 each is closed first, and
; $R0 counts those still running 15 seconds later.
Function ${un}RunningCopies
    StrCpy $R0 0
    System::Alloc 16384
    Pop $R2
    System::Call 'kernel32::K32EnumProcesses(p R2, i 16384, *i .R3) i .R4'
    ${If} $R4 = 0
        System::Free $R2
        Return
    ${EndIf}
    StrCpy $R5 0
    ${DoWhile} $R5 < $R3
        IntPtrOp $R6 $R2 + $R5
        System::Call '*$R6(i .R7)'
        IntOp $R5 $R5 + 4
        ; Limited query rights and SYNCHRONIZE, which an elevated setup has on any process.
        System::Call 'kernel32::OpenProcess(i 0x101000, i 0, i R7) p .R8'
        ${If} $R8 == 0
            ${Continue}
        ${EndIf}
        StrCpy $R9 ""
        System::Call 'kernel32::QueryFullProcessImageNameW(p R8, i 0, w .R9, *i ${NSIS_MAX_STRLEN})'
        ${If} $R9 == "$INSTDIR\vellicor.exe"
            IntOp $R0 $R0 + 1
            ${If} $R1 = 1
                DetailPrint "Closing ${PRODUCT} (process $R7)"
                Call ${un}CloseWindowsOfProcess
                System::Call 'kernel32::WaitForSingleObject(p R8, i 15000) i .r3'
                ${If} $3 = 0
                    IntOp $R0 $R0 - 1
                ${EndIf}
            ${EndIf}
        ${EndIf}
        System::Call 'kernel32::CloseHandle(p R8)'
    ${Loop}
    System::Free $R2
FunctionEnd

; Returns once no copy runs; otherwise, asked or refused, ends the setup with status 2. A silent
; setup closes the program without asking: an administrator who installs for many has nobody
; to ask, and the program's autostart entry starts it again at the next login.
Function ${un}EnsureNotRunning
    ${Do}
        StrCpy $R1 0
        Call ${un}RunningCopies
        ${If} $R0 = 0
            Return
        ${EndIf}
        MessageBox MB_OKCANCEL|MB_ICONEXCLAMATION "${RUNNING_ASK}" /SD IDOK IDOK close
        ${Break}
    close:
        StrCpy $R1 1
        Call ${un}RunningCopies
        ${If} $R0 = 0
            Return
        ${EndIf}
        MessageBox MB_RETRYCANCEL|MB_ICONSTOP "${RUNNING_STILL}" /SD IDCANCEL IDRETRY retry
        ${Break}
    retry:
    ${Loop}
    SetErrorLevel 2
    Abort "${PRODUCT} is still running."
FunctionEnd

!macroend

!insertmacro VELLICOR_RUNNING_PROGRAM ""
!insertmacro VELLICOR_RUNNING_PROGRAM "un."
