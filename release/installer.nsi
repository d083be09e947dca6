; Tavelin's installer: for the current user only, with the user's own rights, into
; %LOCALAPPDATA%\Programs\Tavelin, or where the installed copy is, or where /D= says. Built by
; scripts/release.sh, which defines VERSION (the CMake project's), STAGE (the folder with the
; Tavelin.exe to ship and its LICENSE.txt and THIRD-PARTY-NOTICES.txt), ICON, WIZARD (the
; wizard's picture) and OUTFILE; SIGN (a command that signs the file it is given) when the
; release is signed, and TARGET for a 64-bit installer of the 64-bit build (only for tests on
; machines that run no 32-bit programs).
!ifdef TARGET
    Target ${TARGET}
!endif
Unicode true
ManifestDPIAware true
RequestExecutionLevel user
; The same files give the same installer: no file times stored.
SetDateSave off
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tavelin"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
!define APPROVED_KEY "Software\Microsoft\Windows\CurrentVersion\Explorer\StartupApproved\Run"
!define SETTINGS_KEY "SOFTWARE\Tavelin"
; Held by every running Tavelin for its session's one copy.
!define ONE_COPY_MUTEX "Local\Tavelin.OneCopyPerSession"
!define SYNCHRONIZE 0x00100000
; The exit code of a silent install or uninstall that could not close a running Tavelin: NSIS
; itself gives 1 for a cancel and 2 for an abort. Named in the README and in the winget manifest.
!define EXIT_TAVELIN_RUNNING 3

Name "Tavelin"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tavelin"
; An upgrade goes where the installed copy is (winget install --location puts it elsewhere).
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tavelin ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Tavelin"
VIAddVersionKey /LANG=1033 "CompanyName" "Pellumry"
VIAddVersionKey /LANG=1033 "FileDescription" "Tavelin ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"

Var WasRunning

!ifdef SIGN
    !uninstfinalize '"${SIGN}" "%1" "Tavelin ${VERSION} uninstaller"' = 0
!endif

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!define MUI_WELCOMEPAGE_TITLE "Tavelin ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Setup will install Tavelin for you alone, with no administrator rights, into:$\r$\n$\r$\n$INSTDIR$\r$\n$\r$\nA Tavelin that is running now is closed, and started again when Setup is done. Your settings and your captures are kept.$\r$\n$\r$\nClick Install to begin."
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Tavelin"
!define MUI_FINISHPAGE_RUN_FUNCTION StartTavelin
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Ends a Tavelin that runs in this session as its Exit does: WM_CLOSE to its hidden main
; window. Its message boxes share the main window's class and caption; they have a text
; control (65535), the main window has none. Sets $WasRunning to 1 when one ran; aborts when
; one is still running after the user gave up waiting.
!macro END_RUNNING_COPY un
Function ${un}EndRunningCopy
    StrCpy $WasRunning 0
    System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${ONE_COPY_MUTEX}") p .r0'
    ${If} $0 = 0
        Return
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r0)'
    StrCpy $WasRunning 1
    StrCpy $5 0
    ${Do}
        StrCpy $1 0
        ${Do}
            FindWindow $1 "#32770" "Tavelin" "" $1
            ${If} $1 = 0
                ${ExitDo}
            ${EndIf}
            GetDlgItem $2 $1 65535
            ${If} $2 = 0
                ${If} $5 = 0
                    System::Call 'user32::GetWindowThreadProcessId(p r1, *i .r4)'
                    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r4) p .r5'
                ${EndIf}
                SendMessage $1 ${WM_CLOSE} 0 0 /TIMEOUT=5000
            ${EndIf}
        ${Loop}
        ; Its mutex goes as its main window's loop ends; its exe stays mapped, and cannot be
        ; replaced or deleted, until the process itself has ended.
        ${For} $3 1 100
            System::Call 'kernel32::OpenMutexW(i ${SYNCHRONIZE}, i 0, w "${ONE_COPY_MUTEX}") p .r0'
            ${If} $0 = 0
                ${If} $5 <> 0
                    System::Call 'kernel32::WaitForSingleObject(p r5, i 10000)'
                    System::Call 'kernel32::CloseHandle(p r5)'
                ${EndIf}
                Return
            ${EndIf}
            System::Call 'kernel32::CloseHandle(p r0)'
            Sleep 100
        ${Next}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
            "Tavelin is still running and did not close when asked.$\n$\nChoose Exit in the menu of its tray icon, then Retry." \
            /SD IDCANCEL IDRETRY retry
        ; A package manager tells its user that the program is in use, rather than that the
        ; installer failed.
        SetErrorLevel ${EXIT_TAVELIN_RUNNING}
        Abort "Tavelin is still running."
    retry:
    ${Loop}
FunctionEnd
!macroend
!insertmacro END_RUNNING_COPY ""
!insertmacro END_RUNNING_COPY "un."

; Through the shell, as the desktop user's own start would be, never as the installer's child:
; an installer run as administrator would hand its rights on, and the elevated Tavelin's
; keyboard hook would be out of reach of the next upgrade and of Explorer's TaskbarCreated.
; explorer.exe given a program hands it to the running shell.
Function StartTavelin
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Tavelin.exe"'
FunctionEnd

Section
    Call EndRunningCopy
    SetOutPath "$INSTDIR"
    File "${STAGE}/Tavelin.exe"
    File "${STAGE}/LICENSE.txt"
    File "${STAGE}/THIRD-PARTY-NOTICES.txt"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Tavelin.lnk" "$INSTDIR\Tavelin.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tavelin"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Pellumry"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Tavelin.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1

    ; The interactive installer offers the start on its last page; a silent one brings back
    ; only the copy it ended.
    ${If} ${Silent}
    ${AndIf} $WasRunning = 1
        Call StartTavelin
    ${EndIf}
SectionEnd

; $0: a Run value as Tavelin writes it, the exe's path in quotes. $1: that path.
Function un.RunValuePath
    StrCpy $1 $0
    StrCpy $2 $0 1
    ${If} $2 == '"'
        StrCpy $1 $0 "" 1
        StrCpy $3 0
        ${Do}
            StrCpy $2 $1 1 $3
            ${If} $2 == '"'
            ${OrIf} $2 == ""
                ${ExitDo}
            ${EndIf}
            IntOp $3 $3 + 1
        ${Loop}
        StrCpy $1 $1 $3
    ${EndIf}
FunctionEnd

Section "Uninstall"
    Call un.EndRunningCopy
    Delete "$INSTDIR\Tavelin.exe"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\THIRD-PARTY-NOTICES.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tavelin.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    ; A Run value naming a program that is gone would have Windows try to start it at every
    ; logon. One that names a Tavelin still there (a portable copy) is that copy's.
    ReadRegStr $0 HKCU "${RUN_KEY}" "Tavelin"
    ${If} $0 != ""
        Call un.RunValuePath
        ${IfNot} ${FileExists} "$1"
            DeleteRegValue HKCU "${RUN_KEY}" "Tavelin"
            StrCpy $0 ""
        ${EndIf}
    ${EndIf}
    ${If} $0 == ""
        DeleteRegValue HKCU "${APPROVED_KEY}" "Tavelin"
    ${EndIf}

    ; Captures are the user's, and never touched.
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Remove Tavelin's settings (capture folder, file name, start with Windows) as well?$\n$\nYour captures are kept either way." \
        /SD IDNO IDNO keep
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    keep:

    ; Started in its folder, as the quiet uninstall string does (_?= keeps NSIS from handing
    ; over to a copy in the temporary folder and returning at once, so that a package manager
    ; learns the exit code), it runs from the file it would delete. A copy in the temporary
    ; folder removes that and the folder once this process has ended, as NSIS's hand-over does.
    ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
        CopyFiles /SILENT "$INSTDIR\Uninstall.exe" "$TEMP\Tavelin-Uninstall.exe"
        System::Call 'kernel32::GetCurrentProcessId() i .r0'
        Exec '"$TEMP\Tavelin-Uninstall.exe" /FINISH=$0 _?=$INSTDIR'
    ${EndIf}
SectionEnd

Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/FINISH=" $1
    ${IfNot} ${Errors}
        IntOp $1 $1 + 0
        System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
        ${If} $2 <> 0
            System::Call 'kernel32::WaitForSingleObject(p r2, i 30000)'
            System::Call 'kernel32::CloseHandle(p r2)'
        ${EndIf}
        Delete "$INSTDIR\Uninstall.exe"
        RMDir "$INSTDIR"
        Quit
    ${EndIf}
FunctionEnd
