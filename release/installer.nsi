; Tavelin's installer: for the current user only, with the user's own rights, into
; %LOCALAPPDATA%\Programs\Tavelin, or where /D= says, or where the installed copy is. Built by
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
; itself gives 1 for a cancel and 2 for an abort. Named in docs/building-and-releasing.md
; and in the winget manifest.
!define EXIT_TAVELIN_RUNNING 3
; The exit code of an installer started as another user than the desktop's. In docs/building-and-releasing.md.
!define EXIT_OTHER_USER 4
; Held while an installer writes, so that the last step of an uninstall, and another installer,
; wait for it.
!define SETUP_MUTEX "Local\Tavelin.Setup"
; The exit code of a silent install that gave up waiting for another installer to finish writing,
; and how long it waits. In docs/building-and-releasing.md and in the winget manifest.
!define EXIT_SETUP_RUNNING 5
!define SETUP_WAIT_MS 60000
!define WAIT_TIMEOUT 0x102
!define DEFAULT_FOLDER "$LOCALAPPDATA\Programs\Tavelin"
!define NO_GUID "{00000000-0000-0000-0000-000000000000}"
; STARTUPINFOW: 68 bytes for 32-bit code, 104 for 64-bit.
!define /math STARTUPINFO_SIZE ${NSIS_PTR_SIZE} * 9
!define /redef /math STARTUPINFO_SIZE ${STARTUPINFO_SIZE} + 32
!define CREATE_NO_WINDOW 0x08000000

Name "Tavelin"
OutFile "${OUTFILE}"
InstallDir "${DEFAULT_FOLDER}"
BrandingText "Tavelin ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "Tavelin"
VIAddVersionKey /LANG=1033 "CompanyName" "Pellumry"
VIAddVersionKey /LANG=1033 "FileDescription" "Tavelin ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"

Var WasRunning
Var SetupMutex
; The installed copy that /D= moves away from, or "".
Var OldCopy

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

; Leftovers in %TEMP% of earlier uninstalls: the hand-over folders of this script ($TEMP\Tavelin-
; and a GUID) whose copy has ended, and the fixed-name copy of older versions, never started.
; A folder that is a link to somewhere else is not followed, and only the file this script puts
; there is deleted.
!macro CLEAN_TEMP un
Function ${un}CleanTemp
    Delete "$TEMP\Tavelin-Uninstall.exe"
    FindFirst $0 $1 "$TEMP\Tavelin-{*}"
    ${DoWhile} $1 != ""
        System::Call 'kernel32::GetFileAttributesW(w "$TEMP\$1") i .r2'
        IntOp $2 $2 & 0x400
        ${If} $2 = 0
        ${AndIf} "$TEMP\$1" != $EXEDIR
            Delete "$TEMP\$1\Uninstall.exe"
            RMDir "$TEMP\$1"
        ${EndIf}
        FindNext $0 $1
    ${Loop}
    FindClose $0
FunctionEnd
!macroend
!insertmacro CLEAN_TEMP ""
!insertmacro CLEAN_TEMP "un."

; The user of a process's token, as the SID string: $0 the process handle; $1 the SID, or "".
Function UserOf
    StrCpy $1 ""
    System::Call 'advapi32::OpenProcessToken(p r0, i 8, *p .r2) i .r3'
    ${If} $3 = 0
        Return
    ${EndIf}
    System::Alloc 512
    Pop $4
    System::Call 'advapi32::GetTokenInformation(p r2, i 1, p r4, i 512, *i .r5) i .r3'
    ${If} $3 <> 0
        System::Call '*$4(p .r5)'
        System::Call 'advapi32::ConvertSidToStringSidW(p r5, *p .r6) i .r3'
        ${If} $3 <> 0
            System::Call 'kernel32::lstrcpynW(w .r1, p r6, i ${NSIS_MAX_STRLEN})'
            System::Call 'kernel32::LocalFree(p r6)'
        ${EndIf}
    ${EndIf}
    System::Free $4
    System::Call 'kernel32::CloseHandle(p r2)'
FunctionEnd

; The folder of an installed Tavelin that $0 names, if it holds one; else "".
Function InstalledIn
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Tavelin.exe"
    ${AndIf} ${FileExists} "$0\Uninstall.exe"
        Return
    ${EndIf}
    StrCpy $0 ""
FunctionEnd

Function .onInit
    Call CleanTemp
    ; Tavelin is installed for the user whose desktop this is. Started with another account's
    ; administrator password, Setup would install into that account's profile and registry,
    ; and then ask this desktop's Explorer to start an exe there.
    FindWindow $0 "Shell_TrayWnd"
    ${If} $0 <> 0
        System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
        System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i r1) p .r0'
        StrCpy $1 ""
        ${If} $0 <> 0
            Call UserOf
            System::Call 'kernel32::CloseHandle(p r0)'
        ${EndIf}
        StrCpy $7 $1
        System::Call 'kernel32::GetCurrentProcess() p .r0'
        Call UserOf
        ${If} $7 != $1
            MessageBox MB_OK|MB_ICONSTOP "Tavelin installs for the user who is signed in to this desktop, and Setup runs as another user.$\n$\nStart Setup from your own account, without choosing another account's password." /SD IDOK
            SetErrorLevel ${EXIT_OTHER_USER}
            Quit
        ${EndIf}
    ${EndIf}
    ; An upgrade goes where the installed copy is, unless /D= (winget install --location) says
    ; where. NSIS takes /D= off the command line and into $INSTDIR before this runs, so a folder
    ; other than the default is /D='s. Any program of the user can write the entry's values, so a
    ; folder they name is taken only where it holds an installed Tavelin.
    ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    Call InstalledIn
    ${If} $0 == ""
        ReadRegStr $0 HKCU "${UNINSTALL_KEY}" "DisplayIcon"
        StrCpy $0 $0 -2
        ${GetParent} $0 $0
        Call InstalledIn
    ${EndIf}
    ${If} $INSTDIR == "${DEFAULT_FOLDER}"
    ${AndIf} $0 != ""
        StrCpy $INSTDIR $0
    ${Else}
        StrCpy $OldCopy $0
    ${EndIf}
FunctionEnd

; After a move: the copy left behind would start again at each logon from the Run value it wrote,
; and its uninstaller would delete the entry and shortcut that now name the new copy. Only what
; this installer puts there goes; a folder that holds anything else stays.
Function RemoveOldCopy
    ; The same folder under another name (its case, a short name, a link) shows this file too.
    FileOpen $0 "$INSTDIR\Tavelin.moving" w
    FileClose $0
    ${If} ${FileExists} "$INSTDIR\Tavelin.moving"
    ${AndIfNot} ${FileExists} "$OldCopy\Tavelin.moving"
        Delete "$OldCopy\Tavelin.exe"
        Delete "$OldCopy\LICENSE.txt"
        Delete "$OldCopy\THIRD-PARTY-NOTICES.txt"
        Delete "$OldCopy\Uninstall.exe"
        RMDir "$OldCopy"
        ReadRegStr $0 HKCU "${RUN_KEY}" "Tavelin"
        ${If} $0 == '"$OldCopy\Tavelin.exe"'
            WriteRegStr HKCU "${RUN_KEY}" "Tavelin" '"$INSTDIR\Tavelin.exe"'
        ${EndIf}
    ${EndIf}
    Delete "$INSTDIR\Tavelin.moving"
FunctionEnd

Section
    ; Another installer may be asking its user to close Tavelin, for as long as the user takes:
    ; this one waits a minute, then asks or, silent, ends.
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${SETUP_MUTEX}") p .s'
    Pop $SetupMutex
    System::Call 'kernel32::WaitForSingleObject(p $SetupMutex, i 0) i .r0'
    ${If} $0 = ${WAIT_TIMEOUT}
        DetailPrint "Waiting for another Tavelin Setup to finish..."
    ${EndIf}
    ${DoWhile} $0 = ${WAIT_TIMEOUT}
        System::Call 'kernel32::WaitForSingleObject(p $SetupMutex, i ${SETUP_WAIT_MS}) i .r0'
        ${If} $0 <> ${WAIT_TIMEOUT}
            ${ExitDo}
        ${EndIf}
        ${IfNot} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Another Tavelin Setup is running.$\n$\nFinish it, then Retry." /SD IDCANCEL IDRETRY`
            SetErrorLevel ${EXIT_SETUP_RUNNING}
            Abort "Another Tavelin Setup is running."
        ${EndIf}
    ${Loop}
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
    ${If} $OldCopy != ""
        Call RemoveOldCopy
    ${EndIf}
    ; Written: an uninstall's last step or another installer need not wait for the last page.
    System::Call 'kernel32::ReleaseMutex(p $SetupMutex)'
    System::Call 'kernel32::CloseHandle(p $SetupMutex)'

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
    ; Sound settings would go on listing the program, with whatever sound was chosen for its
    ; Capture event. A portable copy that is left registers it again when it starts.
    DeleteRegKey HKCU "AppEvents\Schemes\Apps\Tavelin"
    DeleteRegKey HKCU "AppEvents\EventLabels\TavelinCapture"

    ; Captures are the user's, and never touched.
    MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON2 \
        "Remove Tavelin's settings (capture folder, file name, start with Windows) as well?$\n$\nYour captures are kept either way." \
        /SD IDNO IDNO keep
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    keep:

    ; Started in its folder, as the quiet uninstall string does (_?= keeps NSIS from handing
    ; over to a copy in the temporary folder and returning at once, so that a package manager
    ; learns the exit code), it runs from the file it would delete: a copy of it finishes.
    ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
        Call un.HandOver
    ${EndIf}
SectionEnd

; A name for one run's folder that no one can know beforehand, in $0: a new GUID, else 16 random
; bytes of the system's in a GUID's form; "" when neither came. The System plug-in hands a call
; a zeroed GUID and reads it back even when the call failed, or its DLL did not load ("error").
Function un.NewName
    System::Call 'ole32::CoCreateGuid(g .r0) i .r1'
    ${If} $1 != 0
    ${OrIf} $0 == "${NO_GUID}"
        ; RtlGenRandom: advapi32 is a KnownDLL, never loaded from the folder Setup runs in. It
        ; returns a BOOLEAN.
        System::Alloc 16
        Pop $2
        System::Call 'advapi32::SystemFunction036(p r2, i 16) i .r1'
        IntOp $1 $1 & 0xFF
        System::Call '*$2(&g16 .r0)'
        System::Free $2
        ${If} $1 = 0
            StrCpy $0 "${NO_GUID}"
        ${EndIf}
    ${EndIf}
    ${If} $0 == "${NO_GUID}"
        StrCpy $0 ""
    ${EndIf}
FunctionEnd

; Starts the command line $R1 without a console window, in %TEMP%: a process started in the
; install folder, or in the folder it is to delete, would keep that folder in use. $R1 becomes 0
; where it did not start. Exec would give cmd.exe a console window; nsExec waits for the end.
Function un.StartInTemp
    System::Alloc ${STARTUPINFO_SIZE}
    Pop $R2
    System::Call '*$R2(i ${STARTUPINFO_SIZE})'
    System::Call '*(p, p, i, i) p .R3'
    System::Call 'kernel32::CreateProcessW(p 0, w R1, p 0, p 0, i 0, i ${CREATE_NO_WINDOW}, p 0, w "$TEMP", p R2, p R3) i .R1'
    System::Call '*$R3(p .R4, p .R5)'
    ${If} $R1 <> 0
        System::Call 'kernel32::CloseHandle(p R4)'
        System::Call 'kernel32::CloseHandle(p R5)'
    ${EndIf}
    System::Free $R2
    System::Free $R3
FunctionEnd

; Starts a copy of this uninstaller that deletes it and its folder once this process has ended.
; The copy goes into a folder made for this one run, with a name no one can know beforehand; it
; is held open, so that it can be neither changed nor replaced, checked against this file, and
; started while held. An uninstall run as administrator starts nothing that another program
; put in its way.
Function un.HandOver
    Call un.NewName
    ${If} $0 == ""
        MessageBox MB_OK|MB_ICONEXCLAMATION "Uninstall.exe could not be removed. Delete the folder $INSTDIR yourself." /SD IDOK
        Return
    ${EndIf}
    StrCpy $R0 "$TEMP\Tavelin-$0"
    System::Call 'kernel32::CreateDirectoryW(w R0, p 0) i .r0'
    ${If} $0 = 0
        Return
    ${EndIf}
    CopyFiles /SILENT "$EXEPATH" "$R0\Uninstall.exe"
    System::Call 'kernel32::CreateFileW(w "$R0\Uninstall.exe", i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r1'
    System::Call 'kernel32::CreateFileW(w "$EXEPATH", i 0x80000000, i 1, p 0, i 3, i 0, p 0) p .r2'
    StrCpy $5 0
    ${If} $1 <> -1
    ${AndIf} $2 <> -1
        System::Call 'kernel32::GetFileSize(p r1, p 0) i .r3'
        System::Call 'kernel32::GetFileSize(p r2, p 0) i .r4'
        ${If} $3 = $4
        ${AndIf} $3 > 0
            System::Alloc $3
            Pop $6
            System::Alloc $4
            Pop $7
            System::Call 'kernel32::ReadFile(p r1, p r6, i r3, *i .r8, p 0)'
            System::Call 'kernel32::ReadFile(p r2, p r7, i r4, *i .r9, p 0)'
            System::Call 'ntdll::RtlCompareMemory(p r6, p r7, p r3) p .r0'
            ${If} $8 = $3
            ${AndIf} $9 = $3
            ${AndIf} $0 = $3
                StrCpy $5 1
            ${EndIf}
            System::Free $6
            System::Free $7
        ${EndIf}
    ${EndIf}
    ${If} $5 = 1
        System::Call 'kernel32::GetCurrentProcessId() i .r0'
        StrCpy $R1 '"$R0\Uninstall.exe" /FINISH=$0 _?=$INSTDIR'
        Call un.StartInTemp
        ${If} $R1 = 0
            StrCpy $5 0
        ${EndIf}
    ${EndIf}
    System::Call 'kernel32::CloseHandle(p r1)'
    System::Call 'kernel32::CloseHandle(p r2)'
    ${If} $5 = 0
        Delete "$R0\Uninstall.exe"
        RMDir "$R0"
    ${EndIf}
FunctionEnd

Function un.onInit
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/FINISH=" $1
    ${If} ${Errors}
        Call un.CleanTemp
        Return
    ${EndIf}
    ; The copy of un.HandOver: waits for the uninstall, and for an installer that writes
    ; meanwhile. What a reinstall took again (the entry names this folder anew) is left to it.
    IntOp $1 $1 + 0
    System::Call 'kernel32::OpenProcess(i ${SYNCHRONIZE}, i 0, i r1) p .r2'
    ${If} $2 <> 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i 30000)'
        System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${SETUP_MUTEX}") p .r2'
    System::Call 'kernel32::WaitForSingleObject(p r2, i 60000) i .r3'
    ReadRegStr $4 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $3 <> 0x102
    ${AndIf} $4 != $INSTDIR
        Delete "$INSTDIR\Uninstall.exe"
        RMDir "$INSTDIR"
    ${EndIf}
    System::Call 'kernel32::ReleaseMutex(p r2)'
    System::Call 'kernel32::CloseHandle(p r2)'
    ; This copy and its folder go once it has ended: the system's own command processor waits
    ; for that, trying once a second for half a minute.
    StrCpy $0 $EXEDIR "" -38
    StrCpy $0 "$TEMP\Tavelin-$0"
    ${If} $0 == $EXEDIR
        StrCpy $R1 '"$SYSDIR\cmd.exe" /d /q /c "for /l %i in (1,1,30) do (ping -n 2 127.0.0.1 >nul & rd /s /q "$EXEDIR" 2>nul & if not exist "$EXEDIR" exit)"'
        Call un.StartInTemp
    ${EndIf}
    ; A Quit from here would say "cancelled" (2); this step did what it could.
    SetErrorLevel 0
    Quit
FunctionEnd
