; Installer of the Kestrune launcher for 32-bit Windows, built by makensis from the Windows build
; (target kestrune_windows_packages, cmake/WindowsPackaging.cmake passes the defines below).
;
; It installs for every user of the machine:
;   <32-bit Program Files>\Kestrune\kestrune.exe and uninstall.exe
;   Kestrune.lnk in the all-users Start menu
;   the uninstall entry HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune
;   (a 32-bit installer writes it to the 32-bit view of the registry, where 64-bit Windows keeps the
;   entries of 32-bit programs)
; The uninstaller removes exactly those, plus what the program itself writes for the user who
; uninstalls: its desktop Kestrune.lnk (only while it points at this installation) and its two
; browser-mode values. Files it did not install and other programs' values stay. Both run without a
; single question with /S.
;
; Defines: KESTRUNE_VERSION (x.y.z), KESTRUNE_EXE (the built kestrune.exe), KESTRUNE_ICON,
; KESTRUNE_OUTFILE, KESTRUNE_PUBLISHER, KESTRUNE_URL, KESTRUNE_SIGN_SCRIPT (signs a file in place,
; or says it stays unsigned) and KESTRUNE_UNINSTALLER_COPY (where the uninstaller, as it goes into
; the installer, is left for checking).

Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh

!macro KESTRUNE_REQUIRE name
  !ifndef ${name}
    !error "${name} is not defined; build the installer through the Windows build (kestrune_windows_packages)"
  !endif
!macroend
!insertmacro KESTRUNE_REQUIRE KESTRUNE_VERSION
!insertmacro KESTRUNE_REQUIRE KESTRUNE_EXE
!insertmacro KESTRUNE_REQUIRE KESTRUNE_ICON
!insertmacro KESTRUNE_REQUIRE KESTRUNE_OUTFILE
!insertmacro KESTRUNE_REQUIRE KESTRUNE_PUBLISHER
!insertmacro KESTRUNE_REQUIRE KESTRUNE_URL
!insertmacro KESTRUNE_REQUIRE KESTRUNE_SIGN_SCRIPT
!insertmacro KESTRUNE_REQUIRE KESTRUNE_UNINSTALLER_COPY

!if ${NSIS_PACKEDVERSION} < 0x3008000
  !error "NSIS 3.08 or later is needed (!uninstfinalize signs the uninstaller)"
!endif
; The uninstaller is made and signed now, while the installer is built, and goes into it as signed;
; then the installer itself is signed.
!uninstfinalize 'sh "${KESTRUNE_SIGN_SCRIPT}" --name uninstall.exe --copy-to "${KESTRUNE_UNINSTALLER_COPY}" "%1"' = 0
!finalize 'sh "${KESTRUNE_SIGN_SCRIPT}" "%1"' = 0
; Files carry no build-machine dates: two builds of one commit give the same installer.
SetDateSave off

!define PRODUCT "Kestrune"
!define EXE_NAME "kestrune.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrune"
!define FEATURE_KEYS "Software\Microsoft\Internet Explorer\Main\FeatureControl"
!define LINK_NAME "Kestrune.lnk"

; The executable carries the same version in its resources; an installer of one version must not
; install a program that says it is another.
!getdllversion "${KESTRUNE_EXE}" EXE_VERSION_
!if "${EXE_VERSION_1}.${EXE_VERSION_2}.${EXE_VERSION_3}" != "${KESTRUNE_VERSION}"
  !error "${KESTRUNE_EXE} is version ${EXE_VERSION_1}.${EXE_VERSION_2}.${EXE_VERSION_3}, the installer ${KESTRUNE_VERSION}"
!endif

Name "${PRODUCT}"
OutFile "${KESTRUNE_OUTFILE}"
InstallDir "$PROGRAMFILES32\${PRODUCT}"
; A second installation goes where the first one is.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${KESTRUNE_VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${KESTRUNE_VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${KESTRUNE_PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${KESTRUNE_VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${KESTRUNE_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${KESTRUNE_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${KESTRUNE_PUBLISHER}"

!define MUI_ICON "${KESTRUNE_ICON}"
!define MUI_UNICON "${KESTRUNE_ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The installer speaks the user's language where it has it.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString NeedsAdministrator ${LANG_ENGLISH} "${PRODUCT} is installed for all users of this computer. Run the setup as an administrator."
LangString NeedsAdministrator ${LANG_SIMPCHINESE} "${PRODUCT} 为这台电脑的所有用户安装。请以管理员身份运行安装程序。"
LangString StillRunning ${LANG_ENGLISH} "${PRODUCT} is running. Close it, then remove it again."
LangString StillRunning ${LANG_SIMPCHINESE} "${PRODUCT} 正在运行。请先关闭它，然后重新卸载。"

!macro KESTRUNE_REQUIRE_ADMINISTRATOR
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_OK|MB_ICONSTOP "$(NeedsAdministrator)" /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
  SetShellVarContext all
!macroend

Function .onInit
  !insertmacro KESTRUNE_REQUIRE_ADMINISTRATOR
FunctionEnd

Function un.onInit
  !insertmacro KESTRUNE_REQUIRE_ADMINISTRATOR
FunctionEnd

Section "${PRODUCT}" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "/oname=${EXE_NAME}" "${KESTRUNE_EXE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  ; The working folder of the entry is the installation folder ($OUTPATH).
  CreateShortcut "$SMPROGRAMS\${LINK_NAME}" "$INSTDIR\${EXE_NAME}" "" "$INSTDIR\${EXE_NAME}" 0 SW_SHOWNORMAL "" "${PRODUCT} launcher"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${KESTRUNE_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${KESTRUNE_PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${KESTRUNE_URL}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE_NAME},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SectionProgram} $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; $0: a path; out: its long form, or the path unchanged when it has none (a file that is gone).
Function un.LongPath
  Push $1
  Push $2
  System::Call "kernel32::GetLongPathNameW(w r0, w .r1, i ${NSIS_MAX_STRLEN}) i .r2"
  ${If} $2 > 0
  ${AndIf} $2 < ${NSIS_MAX_STRLEN}
    StrCpy $0 $1
  ${EndIf}
  Pop $2
  Pop $1
FunctionEnd

; $0: a shortcut file; out: the path it points at, loaded through the shell, or "" when it cannot be read.
!define CLSID_ShellLink "{00021401-0000-0000-C000-000000000046}"
!define IID_IShellLinkW "{000214F9-0000-0000-C000-000000000046}"
!define IID_IPersistFile "{0000010B-0000-0000-C000-000000000046}"
Function un.LinkTarget
  Push $1 ; IShellLinkW
  Push $2 ; IPersistFile
  Push $3 ; result code
  Push $4 ; target
  StrCpy $4 ""
  System::Call "ole32::CoCreateInstance(g '${CLSID_ShellLink}', p 0, i 1, g '${IID_IShellLinkW}', *p .r1) i .r3"
  ${If} $3 = 0
    System::Call "$1->0(g '${IID_IPersistFile}', *p .r2) i .r3" ; QueryInterface
    ${If} $3 = 0
      System::Call "$2->5(w r0, i 0) i .r3" ; IPersistFile::Load, STGM_READ
      ${If} $3 = 0
        System::Call "$1->3(w .r4, i ${NSIS_MAX_STRLEN}, p 0, i 0) i .r3" ; IShellLinkW::GetPath
        ${If} $3 <> 0
          StrCpy $4 ""
        ${EndIf}
      ${EndIf}
      System::Call "$2->2()" ; Release
    ${EndIf}
    System::Call "$1->2()" ; Release
  ${EndIf}
  StrCpy $0 $4
  Pop $4
  Pop $3
  Pop $2
  Pop $1
FunctionEnd

; Removes the program's own desktop link of the user who uninstalls when it points at this
; installation: a link that a portable copy made for itself stays.
Function un.RemoveDesktopLink
  SetShellVarContext current
  ${If} ${FileExists} "$DESKTOP\${LINK_NAME}"
    StrCpy $0 "$DESKTOP\${LINK_NAME}"
    Call un.LinkTarget
    ${If} $0 != ""
      Call un.LongPath
      StrCpy $1 $0
      StrCpy $0 "$INSTDIR\${EXE_NAME}"
      Call un.LongPath
      ${If} $0 == $1 ; case-insensitive, as Windows paths are
        Delete "$DESKTOP\${LINK_NAME}"
      ${EndIf}
    ${EndIf}
  ${EndIf}
  SetShellVarContext all
FunctionEnd

; The browser-mode values the program writes for its own name at every start. Other programs'
; values in the same keys stay; a key is removed only when nothing at all is left in it (no value,
; default or named, and no subkey). SHDeleteEmptyKey would do, but not every system's checks values.
!macro KESTRUNE_REMOVE_FEATURE_VALUE feature
  DeleteRegValue HKCU "${FEATURE_KEYS}\${feature}" "${EXE_NAME}"
  System::Call "advapi32::RegOpenKeyExW(p 0x80000001, w '${FEATURE_KEYS}\${feature}', i 0, i 0x20019, *p .r1) i .r0"
  ${If} $0 = 0
    System::Call "advapi32::RegQueryInfoKeyW(p r1, p 0, p 0, p 0, *i .r2, p 0, p 0, *i .r3, p 0, p 0, p 0, p 0) i .r0"
    System::Call "advapi32::RegCloseKey(p r1)"
    ${If} $0 = 0
    ${AndIf} $2 = 0
    ${AndIf} $3 = 0
      DeleteRegKey HKCU "${FEATURE_KEYS}\${feature}"
    ${EndIf}
  ${EndIf}
!macroend

Section "Uninstall"
  ; A running program keeps its file: stop before anything is removed.
  ${If} ${FileExists} "$INSTDIR\${EXE_NAME}"
    ClearErrors
    Delete "$INSTDIR\${EXE_NAME}"
    ${If} ${Errors}
      MessageBox MB_OK|MB_ICONSTOP "$(StillRunning)" /SD IDOK
      SetErrorLevel 5 ; ERROR_ACCESS_DENIED
      Abort
    ${EndIf}
  ${EndIf}
  Delete "$SMPROGRAMS\${LINK_NAME}"
  Call un.RemoveDesktopLink
  !insertmacro KESTRUNE_REMOVE_FEATURE_VALUE FEATURE_BROWSER_EMULATION
  !insertmacro KESTRUNE_REMOVE_FEATURE_VALUE FEATURE_GPU_RENDERING
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Not recursive: files the user put there keep the folder.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
