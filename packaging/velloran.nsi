; The Windows installer of Velloran: the MinGW build of the player, Tavrin.dll, brellix.dll, the
; mount tool (cdemu\batchmnt.exe) and libVLC (libvlc.dll, libvlccore.dll, plugins\).
; Built by packaging/build-windows-installer.sh, which defines
;   VERSION    the product version (packaging/VERSION)
;   STAGE      a folder laid out as the installation
;   GENERATED  a folder with files.nsh (InstallFiles, RemoveFiles: exactly the staged files and
;              folders) and extensions.nsh (ForEachExtension ACTION: ACTION for every extension
;              offered, with the ProgID it opens with, Velloran.DiscImage or Velloran.Media)
;   INSTALLED_KB  the size of the staged files
;   OUTFILE    the installer to write
;   ICON       the program's icon (resources/velloran.ico)
;
; It installs for all users into Program Files\Velloran, makes a Start menu entry and offers
; "Open with Velloran" for disc images and the media types the player plays, without taking
; over any type's default program. The uninstaller removes exactly what was installed: the
; files, the Start menu entry and the registry keys and values; an extension key is removed only
; where nothing but Velloran's entry was in it. Silent: setup.exe /S, uninstall.exe /S.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!define PRODUCT "Velloran"
!define PUBLISHER "Quondel"
!define EXE "velloran.exe"
!define APP_KEY "Software\Quondel\Velloran"
!define CAPABILITIES_KEY "${APP_KEY}\Capabilities"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velloran"
!define APP_PATHS_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths\${EXE}"
!define APPLICATION_KEY "Software\Classes\Applications\${EXE}"
!define PROGID_MEDIA "Velloran.Media"
!define PROGID_IMAGE "Velloran.DiscImage"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${APP_KEY}" "InstallDir"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!include "${GENERATED}\files.nsh"
!include "${GENERATED}\extensions.nsh"

; -- file associations, one extension at a time (ForEachExtension calls these with the
; extension and its ProgID)

!macro Associate EXT PROGID
  WriteRegStr HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}" ""
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" "${EXT}" ""
  WriteRegStr HKLM "${CAPABILITIES_KEY}\FileAssociations" "${EXT}" "${PROGID}"
!macroend

; Deletes a key that holds neither values nor subkeys (DeleteRegKey /ifempty looks at the
; subkeys only).
!macro DeleteKeyIfEmpty KEY
  EnumRegKey $1 HKLM "${KEY}" 0
  EnumRegValue $2 HKLM "${KEY}" 0
  ${If} $1 == ""
  ${AndIf} $2 == ""
    DeleteRegKey HKLM "${KEY}"
  ${EndIf}
!macroend

!macro Unassociate EXT PROGID
  DeleteRegValue HKLM "Software\Classes\${EXT}\OpenWithProgids" "${PROGID}"
  !insertmacro DeleteKeyIfEmpty "Software\Classes\${EXT}\OpenWithProgids"
  ; The key itself only when it holds nothing else either (not even a default value).
  ReadRegStr $3 HKLM "Software\Classes\${EXT}" ""
  ${If} $3 == ""
    !insertmacro DeleteKeyIfEmpty "Software\Classes\${EXT}"
  ${EndIf}
!macroend

!macro WriteProgId PROGID DESCRIPTION
  WriteRegStr HKLM "Software\Classes\${PROGID}" "" "${DESCRIPTION}"
  WriteRegStr HKLM "Software\Classes\${PROGID}" "FriendlyTypeName" "${DESCRIPTION}"
  WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell" "" "open"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open" "" "Open with ${PRODUCT}"
  WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
!macroend

; Tells Explorer that the associations changed (SHCNE_ASSOCCHANGED).
!macro NotifyAssociations
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Velloran" SecMain
  SectionIn RO
  !insertmacro InstallFiles
  WriteUninstaller "$INSTDIR\uninstall.exe"

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0 \
      SW_SHOWNORMAL "" "Play disc images, DVD and Blu-ray folders and media files"

  WriteRegStr HKLM "${APP_KEY}" "InstallDir" "$INSTDIR"
  WriteRegStr HKLM "${APP_PATHS_KEY}" "" "$INSTDIR\${EXE}"
  WriteRegStr HKLM "${APP_PATHS_KEY}" "Path" "$INSTDIR"

  ; "Open with": the ProgIDs, the application's own entry and the Default Programs record.
  !insertmacro WriteProgId "${PROGID_MEDIA}" "Media file"
  !insertmacro WriteProgId "${PROGID_IMAGE}" "Disc image"
  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APPLICATION_KEY}\DefaultIcon" "" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open" "" "Open with ${PRODUCT}"
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
  WriteRegStr HKLM "${CAPABILITIES_KEY}" "ApplicationName" "${PRODUCT}"
  WriteRegStr HKLM "${CAPABILITIES_KEY}" "ApplicationDescription" \
      "Plays disc images as discs, DVD and Blu-ray folders and media files"
  WriteRegStr HKLM "${CAPABILITIES_KEY}" "ApplicationIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "Software\RegisteredApplications" "${PRODUCT}" "${CAPABILITIES_KEY}"
  !insertmacro ForEachExtension Associate

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${INSTALLED_KB}

  !insertmacro NotifyAssociations
SectionEnd

Section "Uninstall"
  !insertmacro ForEachExtension Unassociate
  DeleteRegValue HKLM "Software\RegisteredApplications" "${PRODUCT}"
  !insertmacro DeleteKeyIfEmpty "Software\RegisteredApplications"
  DeleteRegKey HKLM "Software\Classes\${PROGID_MEDIA}"
  DeleteRegKey HKLM "Software\Classes\${PROGID_IMAGE}"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "${CAPABILITIES_KEY}"
  DeleteRegValue HKLM "${APP_KEY}" "InstallDir"
  !insertmacro DeleteKeyIfEmpty "${APP_KEY}"
  !insertmacro DeleteKeyIfEmpty "Software\Quondel"
  DeleteRegKey HKLM "${APP_PATHS_KEY}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  Delete "$INSTDIR\uninstall.exe"
  !insertmacro RemoveFiles
  RMDir "$INSTDIR"

  !insertmacro NotifyAssociations
SectionEnd
