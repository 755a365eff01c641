; The setup program of the MELVO digital camera TWAIN source, made by the build with makensis
; (setup/make-setup.sh). Defines given by the build:
;   OUTFILE, VERSION (a.b.c), README (the read-me, CRLF), PLUGIN_DIR (melvo_setup.dll of the setup's
;   width), AMD64 (a 64-bit setup program), BIN32 / BIN64 (the builds' bin folders, each optional).
;
; What goes where (each file through the plug-in, all or nothing, recorded in installed-files.txt):
;   32-bit source and codec   %WINDIR%\twain_32\MELVO\LX3TWS32.ds, VXADP32.dll
;   64-bit source and codec   %WINDIR%\twain_64\MELVO\... (64-bit Windows only)
;   stand-in libraries        System32 (SysWOW64 for the 32-bit ones on 64-bit Windows), each only
;                             where no library of its name is in that folder or the Windows folder
;   Wine's slot               %WINDIR%\twain_32\sane.ds and twain_64\sane.ds, the file there kept
;   read-me, uninstaller      $INSTDIR (Program Files\MELVO Digital Camera)
;
; Switches: /S silent; /NOSTANDINS leaves the stand-ins out; /NOWINESLOT leaves Wine's slot alone;
; /LOG=file writes every line of the details and every message to the file.
; Uninstaller: /S silent; /REMOVESETTINGS also removes lx3twain.ini; /LOG=file.
; Exit codes: 0 done; 1 cancelled (a file in use); 2 failed, nothing changed; 740 no administrator rights.

Unicode true
!ifdef AMD64
  Target amd64-unicode
!else
  Target x86-unicode
!endif
!addplugindir "${PLUGIN_DIR}"

!include MUI2.nsh
!include LogicLib.nsh
!include x64.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PRODUCT "MELVO Digital Camera TWAIN Source"
!define PUBLISHER "MELVO"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MELVO Digital Camera TWAIN Source"
!define RECORD "$INSTDIR\installed-files.txt"
!define OVERRIDES "Software\Wine\DllOverrides"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
InstallDir "$PROGRAMFILES64\MELVO Digital Camera"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey ProductName "${PRODUCT}"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey FileDescription "${PRODUCT} setup"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey LegalCopyright "${PUBLISHER}"

Var LogPath
Var Plan
Var UnderWine
Var Kept

!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\readme.txt"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the read-me"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- telling: details, message boxes and the log -------------------------------------------

!macro SharedFunctions un
Function ${un}WriteLog  ; text on the stack
  Exch $0
  Push $1
  ${If} $LogPath != ""
    ClearErrors
    FileOpen $1 $LogPath a
    ${IfNot} ${Errors}
      FileSeek $1 0 END
      FileWrite $1 "$0$\r$\n"
      FileClose $1
    ${EndIf}
  ${EndIf}
  Pop $1
  Pop $0
FunctionEnd

; The common start of the setup and the uninstaller: the log, the registry view, the rights.
Function ${un}Start
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/LOG=" $R1
  ${IfNot} ${Errors}
    StrCpy $LogPath $R1
  ${EndIf}
  !ifndef AMD64
    ${If} ${RunningX64}
      SetRegView 64  ; one entry in the installed programs list, whichever setup ran
    ${EndIf}
  !endif
  ClearErrors
  EnumRegKey $UnderWine HKLM "Software\Wine" 0
  ${If} ${Errors}
  ${OrIf} $UnderWine == ""
    StrCpy $UnderWine 0
  ${Else}
    StrCpy $UnderWine 1
  ${EndIf}
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    StrCpy $0 "${PRODUCT}: this program needs administrator rights, since it changes files in the Windows folder. Start it again as an administrator (right-click, Run as administrator). Nothing has been changed."
    Push $0
    Call ${un}WriteLog
    MessageBox MB_OK|MB_ICONSTOP $0 /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
FunctionEnd

; Pops the plug-in's outcome: puts the status in $0 and the message in $1, the size in KiB in $2,
; and passes every report line to the details and the log, counting the kept libraries in $Kept.
Function ${un}TakeOutcome
  Pop $0
  Pop $1
  Pop $2
  Pop $3
  StrCpy $Kept 0
  ${DoWhile} $3 > 0
    Pop $4
    DetailPrint $4
    Push $4
    Call ${un}WriteLog
    StrCpy $5 $4 5
    ${If} $5 == "Kept "
      IntOp $Kept $Kept + 1
    ${EndIf}
    IntOp $3 $3 - 1
  ${Loop}
FunctionEnd

; After a failed or busy outcome ($0, $1): asks whether to try again. Returns "retry" or "stop" on the stack.
Function ${un}AfterTrouble
  Push $1
  Call ${un}WriteLog
  ${If} $0 == "busy"
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$1" /SD IDCANCEL IDRETRY`
      Push "retry"
      Return
    ${EndIf}
    SetErrorLevel 1
  ${Else}
    MessageBox MB_OK|MB_ICONSTOP "$1" /SD IDOK
    SetErrorLevel 2
  ${EndIf}
  DetailPrint "$1"
  Push "stop"
FunctionEnd
!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

!macro PlanLine kind target source extra
  FileWriteUTF16LE $Plan "${kind}$\t${target}$\t${source}$\t${extra}$\r$\n"
!macroend

; The five libraries the source imports, in the system folder of their width.
!macro PlanStandIns from to
  !insertmacro PlanLine standin "${to}\VX1CM32.dll" "${from}\VX1CM32.dll" "$WINDIR\VX1CM32.dll"
  !insertmacro PlanLine standin "${to}\VX2CM32.dll" "${from}\VX2CM32.dll" "$WINDIR\VX2CM32.dll"
  !insertmacro PlanLine standin "${to}\VX3CM32.dll" "${from}\VX3CM32.dll" "$WINDIR\VX3CM32.dll"
  !insertmacro PlanLine standin "${to}\VXK4X32.dll" "${from}\VXK4X32.dll" "$WINDIR\VXK4X32.dll"
  !insertmacro PlanLine standin "${to}\VXXIF32.dll" "${from}\VXXIF32.dll" "$WINDIR\VXXIF32.dll"
!macroend

!macro ExtractStandIns bin
  File "${bin}\VX1CM32.dll"
  File "${bin}\VX2CM32.dll"
  File "${bin}\VX3CM32.dll"
  File "${bin}\VXK4X32.dll"
  File "${bin}\VXXIF32.dll"
!macroend

; --- what the setup installs ------------------------------------------------------------------

Section "-plan"
  InitPluginsDir
  FileOpen $Plan "$PLUGINSDIR\plan.txt" w
  FileWriteUTF16LE /BOM $Plan ""
SectionEnd

Section "TWAIN source" SEC_SOURCE
  SectionIn RO
  !ifdef BIN32
    SetOutPath "$PLUGINSDIR\x86"
    File "${BIN32}\LX3TWS32.ds"
    File "${BIN32}\VXADP32.dll"
    !insertmacro PlanLine file "$WINDIR\twain_32\MELVO\LX3TWS32.ds" "$PLUGINSDIR\x86\LX3TWS32.ds" ""
    !insertmacro PlanLine file "$WINDIR\twain_32\MELVO\VXADP32.dll" "$PLUGINSDIR\x86\VXADP32.dll" ""
  !endif
  !ifdef BIN64
    ${If} ${RunningX64}
      SetOutPath "$PLUGINSDIR\x64"
      File "${BIN64}\LX3TWS32.ds"
      File "${BIN64}\VXADP32.dll"
      !insertmacro PlanLine file "$WINDIR\twain_64\MELVO\LX3TWS32.ds" "$PLUGINSDIR\x64\LX3TWS32.ds" ""
      !insertmacro PlanLine file "$WINDIR\twain_64\MELVO\VXADP32.dll" "$PLUGINSDIR\x64\VXADP32.dll" ""
    ${EndIf}
  !endif
  SetOutPath "$PLUGINSDIR"
  File "/oname=readme.txt" "${README}"
  !insertmacro PlanLine file "$INSTDIR\readme.txt" "$PLUGINSDIR\readme.txt" ""
  WriteUninstaller "$PLUGINSDIR\uninstall.exe"
  !insertmacro PlanLine file "$INSTDIR\uninstall.exe" "$PLUGINSDIR\uninstall.exe" ""
SectionEnd

Section "Simulated cameras and decoders, for trying the source without a camera" SEC_STANDINS
  !ifdef BIN32
    SetOutPath "$PLUGINSDIR\x86"
    !insertmacro ExtractStandIns "${BIN32}"
    ${If} ${RunningX64}
      !insertmacro PlanStandIns "$PLUGINSDIR\x86" "$WINDIR\SysWOW64"
    ${Else}
      !insertmacro PlanStandIns "$PLUGINSDIR\x86" "$WINDIR\System32"
    ${EndIf}
  !endif
  !ifdef BIN64
    ${If} ${RunningX64}
      SetOutPath "$PLUGINSDIR\x64"
      !insertmacro ExtractStandIns "${BIN64}"
      !insertmacro PlanStandIns "$PLUGINSDIR\x64" "$WINDIR\System32"
    ${EndIf}
  !endif
SectionEnd

Section "Let Wine's TWAIN manager load this source (sane.ds)" SEC_WINE
  !ifdef BIN32
    !insertmacro PlanLine slot "$WINDIR\twain_32\sane.ds" "$PLUGINSDIR\x86\LX3TWS32.ds" "$INSTDIR\sane.ds of twain_32.saved"
  !endif
  !ifdef BIN64
    ${If} ${RunningX64}
      !insertmacro PlanLine slot "$WINDIR\twain_64\sane.ds" "$PLUGINSDIR\x64\LX3TWS32.ds" "$INSTDIR\sane.ds of twain_64.saved"
    ${EndIf}
  !endif
SectionEnd

Section "-apply"
  FileClose $Plan
  ${Do}
    melvo_setup::Install "$PLUGINSDIR\plan.txt" "${RECORD}"
    Call TakeOutcome
    ${If} $0 == "done"
      ${Break}
    ${EndIf}
    Call AfterTrouble
    Pop $3
    ${If} $3 == "stop"
      Abort
    ${EndIf}
  ${Loop}

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Readme" "$INSTDIR\readme.txt"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1

  ; Wine takes a file of a built-in library's name only when told to: the override for this user,
  ; with the value there before kept for the uninstaller (once, at the first install that set it).
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "WineOverrideBefore"
  ${If} ${SectionIsSelected} ${SEC_WINE}
    ${If} $0 == ""
      ClearErrors
      ReadRegStr $0 HKCU "${OVERRIDES}" "sane.ds"
      ${If} ${Errors}
        StrCpy $0 "(none)"
      ${EndIf}
      WriteRegStr HKLM "${UNINSTALL_KEY}" "WineOverrideBefore" $0
    ${EndIf}
    WriteRegStr HKCU "${OVERRIDES}" "sane.ds" "native"
    StrCpy $0 "Wine's TWAIN manager now loads this source: sane.ds is set to native in HKCU\${OVERRIDES}"
    DetailPrint $0
    Push $0
    Call WriteLog
  ${ElseIf} $0 != ""
    Call RestoreWineOverride
  ${EndIf}

  ${If} $Kept > 0
    StrCpy $0 "$Kept of the camera libraries were already on this computer (see the details) and were kept: the source uses them. The simulated ones are installed only where none is."
    Push $0
    Call WriteLog
    MessageBox MB_OK|MB_ICONINFORMATION $0 /SD IDOK
  ${EndIf}
  Push "${PRODUCT} ${VERSION} is installed."
  Call WriteLog
SectionEnd

!macro RestoreWineOverrideFunction un
Function ${un}RestoreWineOverride
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "WineOverrideBefore"
  ${If} $0 == "(none)"
    DeleteRegValue HKCU "${OVERRIDES}" "sane.ds"
  ${ElseIf} $0 != ""
    WriteRegStr HKCU "${OVERRIDES}" "sane.ds" $0
  ${EndIf}
  DeleteRegValue HKLM "${UNINSTALL_KEY}" "WineOverrideBefore"
FunctionEnd
!macroend
!insertmacro RestoreWineOverrideFunction ""
!insertmacro RestoreWineOverrideFunction "un."

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SEC_SOURCE} "For 32-bit applications, and 64-bit ones on 64-bit Windows; with its sound codec and a read-me."
  !insertmacro MUI_DESCRIPTION_TEXT ${SEC_STANDINS} "Left out wherever a library of its name is: your camera software's own are never replaced."
  !insertmacro MUI_DESCRIPTION_TEXT ${SEC_WINE} "Wine's manager loads only sane.ds. The file there now is put back at uninstall."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Section numbers are known only below the sections.
Function .onInit
  Call Start
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ${If} $UnderWine == 0
    SectionSetText ${SEC_WINE} ""
    !insertmacro UnselectSection ${SEC_WINE}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOSTANDINS" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SEC_STANDINS}
  ${EndIf}
  ClearErrors
  ${GetOptions} $R0 "/NOWINESLOT" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SEC_WINE}
  ${EndIf}
FunctionEnd

; --- the uninstaller ----------------------------------------------------------------------------

Section "un.TWAIN source, libraries and read-me" UNSEC_FILES
  SectionIn RO
  ${Do}
    melvo_setup::Uninstall "${RECORD}"
    Call un.TakeOutcome
    ${If} $0 == "done"
      ${Break}
    ${EndIf}
    Call un.AfterTrouble
    Pop $3
    ${If} $3 == "stop"
      Abort
    ${EndIf}
  ${Loop}
  Call un.RestoreWineOverride
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Settings (lx3twain.ini in the Windows folder)" UNSEC_SETTINGS
  ${If} ${FileExists} "$WINDIR\lx3twain.ini"
    Delete "$WINDIR\lx3twain.ini"
    DetailPrint "Removed $WINDIR\lx3twain.ini"
    Push "Removed $WINDIR\lx3twain.ini"
    Call un.WriteLog
  ${EndIf}
SectionEnd

Section "-un.done"
  Push "${PRODUCT} is removed."
  Call un.WriteLog
SectionEnd

Function un.onInit
  Call un.Start
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UNSEC_SETTINGS}
  ${EndIf}
FunctionEnd
