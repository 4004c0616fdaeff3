# The Windows build's two packages, in <build>/dist/windows (target kestrune_windows_packages, part
# of the default build when makensis is found):
#   kestrune-<version>-setup.exe   the installer (packaging/windows/kestrune.nsi, built with makensis)
#   kestrune-<version>-win32.zip   the portable program: kestrune.exe alone
# Both carry the project's version, as the executable's version resource does.
#
# Signing (Authenticode, scripts/sign-windows-file.sh): kestrune.exe before it goes into either
# package, the uninstaller while makensis builds it, and the installer. The certificate is named by
# the cache variables below or by environment variables of the same names; without one the build
# says that the files are unsigned. The password is read from a file, so it never reaches the cache.
set(KESTRUNE_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate (empty: from the environment, or unsigned)")
set(KESTRUNE_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 file's password")
set(KESTRUNE_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (empty: none)")
set(KESTRUNE_PUBLISHER "The Kestrune developers" CACHE STRING "Publisher named by the Windows installer")
set(KESTRUNE_HOMEPAGE_URL "https://kestrune.example.org" CACHE STRING "The project's home page (metainfo, package)")

find_program(KESTRUNE_MAKENSIS makensis DOC "NSIS compiler for the Windows installer")
set(KESTRUNE_WINDOWS_DIST_DIR ${PROJECT_BINARY_DIR}/dist/windows)
set(KESTRUNE_WINDOWS_INSTALLER ${KESTRUNE_WINDOWS_DIST_DIR}/kestrune-${PROJECT_VERSION}-setup.exe)
set(KESTRUNE_WINDOWS_PORTABLE ${KESTRUNE_WINDOWS_DIST_DIR}/kestrune-${PROJECT_VERSION}-win32.zip)

if(NOT KESTRUNE_MAKENSIS)
  message(STATUS "makensis not found (Debian package nsis): no Windows installer")
  return()
endif()

# Both packages hold the program stripped of its symbols (the build's copy keeps them for debugging).
set(stage_dir ${PROJECT_BINARY_DIR}/packaging/windows)
set(staged_exe ${stage_dir}/kestrune.exe)
# The signing choice: the cache's where it made one, else the configuring environment's (each
# configure reads it again; scripts/build-windows.sh configures on every run). A changed choice makes
# every signed file again, the program included: the file below changes with it.
set(sign_env ${CMAKE_COMMAND} -E env KESTRUNE_SIGN_URL=${KESTRUNE_HOMEPAGE_URL})
set(sign_choice_text "")
foreach(var KESTRUNE_SIGN_PKCS12 KESTRUNE_SIGN_PASSWORD_FILE KESTRUNE_SIGN_TIMESTAMP_URL)
  set(value "${${var}}")
  if(NOT value)
    set(value "$ENV{${var}}")
  endif()
  # Empty values are passed as well, so that the build's own environment cannot sign behind the
  # configured choice.
  list(APPEND sign_env ${var}=${value})
  string(APPEND sign_choice_text "${var}=${value}\n")
endforeach()
set(sign_script ${PROJECT_SOURCE_DIR}/scripts/sign-windows-file.sh)
set(sign_choice ${stage_dir}/signing.txt)
file(CONFIGURE OUTPUT ${sign_choice} CONTENT "${sign_choice_text}")
add_custom_command(OUTPUT ${staged_exe}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage_dir}
  # strip writes a new time stamp into the PE header: SOURCE_DATE_EPOCH's, not the clock's.
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${KESTRUNE_SOURCE_DATE_EPOCH} ${CMAKE_STRIP} -o ${staged_exe}
          $<TARGET_FILE:kestrune>
  COMMAND ${sign_env} sh ${sign_script} ${staged_exe}
  DEPENDS kestrune ${sign_script} ${sign_choice}
  COMMENT "Staging kestrune.exe for the Windows packages"
  VERBATIM)

set(script ${PROJECT_SOURCE_DIR}/packaging/windows/kestrune.nsi)
add_custom_command(OUTPUT ${KESTRUNE_WINDOWS_INSTALLER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRUNE_WINDOWS_DIST_DIR}
  # -WX: a warning (an unused string, a missing file) fails the build.
  COMMAND ${sign_env} ${KESTRUNE_MAKENSIS} -V2 -WX -INPUTCHARSET UTF8
    -DKESTRUNE_VERSION=${PROJECT_VERSION}
    -DKESTRUNE_SIGN_SCRIPT=${sign_script}
    -DKESTRUNE_UNINSTALLER_COPY=${stage_dir}/uninstall.exe
    -DKESTRUNE_EXE=${staged_exe}
    -DKESTRUNE_ICON=${KESTRUNE_ARTWORK_DIR}/game.ico
    -DKESTRUNE_OUTFILE=${KESTRUNE_WINDOWS_INSTALLER}
    -DKESTRUNE_PUBLISHER=${KESTRUNE_PUBLISHER}
    -DKESTRUNE_URL=${KESTRUNE_HOMEPAGE_URL}
    ${script}
  DEPENDS ${staged_exe} ${script} ${sign_script} ${KESTRUNE_ARTWORK_DIR}/game.ico
  BYPRODUCTS ${stage_dir}/uninstall.exe
  COMMENT "Building the Windows installer"
  VERBATIM)

# The zip holds the executable at its top, dated SOURCE_DATE_EPOCH (in UTC), with a fixed mode and
# without the extra time and owner fields, so equal programs give equal zips on any machine.
find_program(KESTRUNE_ZIP zip REQUIRED DOC "Info-ZIP's zip, for the portable Windows zip")
set(zip_dir ${stage_dir}/zip)
file(MAKE_DIRECTORY ${zip_dir})
add_custom_command(OUTPUT ${KESTRUNE_WINDOWS_PORTABLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRUNE_WINDOWS_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${KESTRUNE_WINDOWS_PORTABLE}
  COMMAND ${CMAKE_COMMAND} -E copy ${staged_exe} ${zip_dir}/kestrune.exe
  COMMAND chmod 0755 ${zip_dir}/kestrune.exe
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC touch -d @${KESTRUNE_SOURCE_DATE_EPOCH} ${zip_dir}/kestrune.exe
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${KESTRUNE_ZIP} -q -X -D ${KESTRUNE_WINDOWS_PORTABLE} kestrune.exe
  WORKING_DIRECTORY ${zip_dir}
  DEPENDS ${staged_exe}
  COMMENT "Building the portable Windows zip"
  VERBATIM)

add_custom_target(kestrune_windows_packages ALL DEPENDS ${KESTRUNE_WINDOWS_INSTALLER} ${KESTRUNE_WINDOWS_PORTABLE})
