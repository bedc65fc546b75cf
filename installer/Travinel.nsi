; The Windows installer of the Travinel control (NSIS). scripts/installer builds it:
;   makensis -DVERSION=1.0.0.7 -DOCX32=... -DOCX64=... -DOUTFILE=... installer/Travinel.nsi
;
; It installs the 32-bit control for 32-bit hosts (into the 32-bit Program Files on 64-bit
; Windows) and, on 64-bit Windows, the 64-bit control for 64-bit hosts; registers each with the
; regsvr32 of its own bitness (which calls the library's DllRegisterServer); installs travinel.exe
; of the machine's bitness beside the control of that bitness and registers the local weight
; service "Travinel" (travinel.exe servir --servico, started with the machine, as LocalService);
; hands the list of web sites allowed to use the scale to travinel.exe configurar, which writes
; it for the control (both registry views), the service and the browsers' policies; and adds an
; uninstaller and an entry in the installed programs. An upgrade without /SITES= keeps the
; configuration as it is.
;
; Options: /S silent; /SITES=pattern;pattern;... the allowed sites (see the README); /SEMSERVICO
; no service; /D=folder the 32-bit control's folder (last on the command line).

Unicode true
!include FileFunc.nsh
!include LogicLib.nsh
!include nsDialogs.nsh
!include x64.nsh
!include StrFunc.nsh
${StrStr}
${UnStrStr}

!define PRODUCT "Travinel"
!define PUBLISHER "Dornavel"
!define SETTINGS_KEY "SOFTWARE\Dornavel\Travinel"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Travinel"
!define SERVICE "Travinel"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES32\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "Instalador do controle ${PRODUCT}"

Var Sites       ; the allowed sites, separated by ';'
Var SitesField  ; the sites page's text box
Var Pending     ; 1 when a library in use is replaced at the next restart
Var NoService   ; 1 with /SEMSERVICO
Var Program     ; the installed travinel.exe

Page directory
Page custom SitesPage SitesPageLeave
Page instfiles
UninstPage instfiles

; /SITES= takes everything up to the next " /" or the end of the command line, quotes dropped
; (GetOptions would stop at the first "/" of "https://").
Function .onInit
  ${GetParameters} $0
  ${StrStr} $1 $0 "/SEMSERVICO"
  StrCpy $NoService 0
  ${IfThen} $1 != "" ${|} StrCpy $NoService 1 ${|}
  StrCpy $Sites ""
  StrCpy $1 0
  ${Do}
    StrCpy $2 $0 7 $1
    ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
    ${If} $2 == "/SITES="
      IntOp $1 $1 + 7
      StrCpy $Sites $0 "" $1
      ${ExitDo}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  StrCpy $1 0
  ${Do}
    StrCpy $2 $Sites 2 $1
    ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
    ${If} $2 == " /"
      StrCpy $Sites $Sites $1
      ${ExitDo}
    ${EndIf}
    IntOp $1 $1 + 1
  ${Loop}
  StrCpy $2 $Sites 1
  ${If} $2 == '"'
    StrCpy $Sites $Sites -1 1
  ${EndIf}
FunctionEnd

; The interactive installer asks for the sites (a silent one takes /SITES= alone).
Function SitesPage
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 36u "Sites que podem usar a balança, separados por ponto e vírgula (por exemplo https://*.loja.example;https://pdv.example). Páginas do próprio computador sempre podem."
  Pop $0
  ${NSD_CreateText} 0 40u 100% 14u "$Sites"
  Pop $SitesField
  nsDialogs::Show
FunctionEnd

Function SitesPageLeave
  ${NSD_GetText} $SitesField $Sites
FunctionEnd

; Puts the library $1 (unpacked beside the installer) into folder $0 and registers it with the
; regsvr32 $2. A library that a running host holds cannot be replaced now: the new one waits
; beside it and takes its place at the next restart, and the user is told.
Function InstallLibrary
  CreateDirectory $0
  ClearErrors
  Delete "$0\Travinel.ocx"
  ${If} ${Errors}
    CopyFiles /SILENT "$1" "$0\Travinel.ocx.new"
    Rename /REBOOTOK "$0\Travinel.ocx.new" "$0\Travinel.ocx"
    StrCpy $Pending 1
  ${Else}
    CopyFiles /SILENT "$1" "$0\Travinel.ocx"
  ${EndIf}
  ExecWait '"$2" /s "$0\Travinel.ocx"' $3
  ${If} $3 != 0
    DetailPrint "regsvr32 $0\Travinel.ocx: $3"
    SetErrorLevel 3
  ${EndIf}
FunctionEnd

; Runs sc.exe with the arguments $0, hidden; $0 becomes its exit code.
!macro ServiceControl un find
Function ${un}ServiceControl
  nsExec::Exec '"$SYSDIR\sc.exe" $0'
  Pop $0
FunctionEnd

; Stops the service when it runs and waits (at most 20 s) until it has stopped, so that its
; program can be replaced or removed. Nothing happens when there is no such service.
Function ${un}StopService
  StrCpy $0 "stop ${SERVICE}"
  Call ${un}ServiceControl
  StrCpy $1 0
  ${Do}
    nsExec::ExecToStack '"$SYSDIR\sc.exe" query ${SERVICE}'
    Pop $0
    Pop $2
    ${If} $0 != 0
      ${ExitDo}  ; no such service
    ${EndIf}
    ${${find}} $3 $2 "STOPPED"
    ${IfThen} $3 != "" ${|} ${ExitDo} ${|}
    ${IfThen} $1 >= 40 ${|} ${ExitDo} ${|}
    Sleep 500
    IntOp $1 $1 + 1
  ${Loop}
FunctionEnd
!macroend
!insertmacro ServiceControl "" StrStr
!insertmacro ServiceControl "un." UnStrStr

; Puts travinel.exe ($R1, unpacked beside the installer) into folder $R0: stops the service
; that runs it first (which uses $0 to $3).
Function InstallProgram
  Call StopService
  CreateDirectory $R0
  Delete "$R0\travinel.exe"
  CopyFiles /SILENT "$R1" "$R0\travinel.exe"
  StrCpy $Program "$R0\travinel.exe"
FunctionEnd

; Registers (or, on an upgrade, updates) the service and starts it.
Function InstallService
  StrCpy $2 'binPath= "\"$Program\" servir --servico" start= auto obj= "NT AUTHORITY\LocalService" DisplayName= "Travinel"'
  StrCpy $0 "query ${SERVICE}"
  Call ServiceControl
  ${If} $0 == 0
    StrCpy $0 "config ${SERVICE} $2"
  ${Else}
    StrCpy $0 "create ${SERVICE} $2"
  ${EndIf}
  Call ServiceControl
  ${If} $0 != 0
    DetailPrint "sc ${SERVICE}: $0"
    SetErrorLevel 4
    Return
  ${EndIf}
  StrCpy $0 'description ${SERVICE} "Serviço local da balança para páginas web (travinel servir)"'
  Call ServiceControl
  StrCpy $0 "start ${SERVICE}"
  Call ServiceControl
FunctionEnd

; The site list, through the one code path that writes it everywhere: travinel.exe configurar.
Function Configure
  ${If} $Sites != ""
    nsExec::ExecToLog '"$Program" configurar --sites "$Sites"'
    Pop $0
    ${If} $0 != 0
      DetailPrint "travinel configurar: $0"
      SetErrorLevel 5
    ${EndIf}
  ${EndIf}
FunctionEnd

Section "Travinel"
  StrCpy $Pending 0
  InitPluginsDir
  File /oname=$PLUGINSDIR\Travinel32.ocx "${OCX32}"
  File /oname=$PLUGINSDIR\Travinel64.ocx "${OCX64}"
  File /oname=$PLUGINSDIR\travinel32.exe "${EXE32}"
  File /oname=$PLUGINSDIR\travinel64.exe "${EXE64}"
  ; The 32-bit control, registered by the 32-bit regsvr32 ($SYSDIR is SysWOW64 for this 32-bit
  ; installer on 64-bit Windows).
  StrCpy $0 $INSTDIR
  StrCpy $1 "$PLUGINSDIR\Travinel32.ocx"
  StrCpy $2 "$SYSDIR\regsvr32.exe"
  Call InstallLibrary

  ${If} ${RunningX64}
    ; The 64-bit control, registered by the 64-bit regsvr32 of System32.
    ${DisableX64FSRedirection}
    StrCpy $0 "$PROGRAMFILES64\${PRODUCT}"
    StrCpy $1 "$PLUGINSDIR\Travinel64.ocx"
    StrCpy $2 "$WINDIR\System32\regsvr32.exe"
    Call InstallLibrary
    ${EnableX64FSRedirection}
    StrCpy $R0 "$PROGRAMFILES64\${PRODUCT}"
    StrCpy $R1 "$PLUGINSDIR\travinel64.exe"
  ${Else}
    StrCpy $R0 $INSTDIR
    StrCpy $R1 "$PLUGINSDIR\travinel32.exe"
  ${EndIf}
  Call InstallProgram
  Call Configure
  ${If} $NoService == 0
    Call InstallService
  ${EndIf}
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}

  SetOutPath $INSTDIR
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (controle da balança)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SetRegView default

  ${If} $Pending == 1
    SetRebootFlag true
    MessageBox MB_OK|MB_ICONINFORMATION "O controle está em uso por um programa aberto (o navegador ou o programa de vendas). A nova versão passa a valer depois que o computador for reiniciado." /SD IDOK
  ${EndIf}
SectionEnd

Section "Uninstall"
  ; The service first: it holds travinel.exe and perhaps a serial port.
  Call un.StopService
  StrCpy $0 "delete ${SERVICE}"
  Call un.ServiceControl
  ${If} ${RunningX64}
    StrCpy $Program "$PROGRAMFILES64\${PRODUCT}\travinel.exe"
  ${Else}
    StrCpy $Program "$INSTDIR\travinel.exe"
  ${EndIf}
  ; travinel configurar takes its own entries away: the configuration, the control's site list
  ; and the browsers' policy entries, nothing else.
  nsExec::ExecToLog '"$Program" configurar --remover'
  Pop $0
  Delete /REBOOTOK "$Program"
  SetShellVarContext all
  Delete "$APPDATA\${PRODUCT}\servir.json"
  RMDir /r "$APPDATA\${PRODUCT}\logs"
  RMDir "$APPDATA\${PRODUCT}"
  SetShellVarContext current

  ${If} ${RunningX64}
    ${DisableX64FSRedirection}
    ExecWait '"$WINDIR\System32\regsvr32.exe" /u /s "$PROGRAMFILES64\${PRODUCT}\Travinel.ocx"'
    Delete /REBOOTOK "$PROGRAMFILES64\${PRODUCT}\Travinel.ocx"
    RMDir "$PROGRAMFILES64\${PRODUCT}"
    ${EnableX64FSRedirection}
    SetRegView 64
    DeleteRegKey HKLM "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKLM "SOFTWARE\Dornavel"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
  SetRegView 32
  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey /ifempty HKLM "SOFTWARE\Dornavel"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  SetRegView default

  ExecWait '"$SYSDIR\regsvr32.exe" /u /s "$INSTDIR\Travinel.ocx"'
  Delete /REBOOTOK "$INSTDIR\Travinel.ocx"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
