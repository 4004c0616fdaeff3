# The Windows build's two packages, in <build>/dist/windows (target kestrune_windows_packages, part
# of the default build when makensis is found):
#   kestrune-<version>-setup.exe   the installer (packaging/windows/kestrune.nsi, built with makensis)
#   kestrune-<version>-win32.zip   the portable program: kestrune.exe alone
# Both carry the project's version, as the executable's version resource does.
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
add_custom_command(OUTPUT ${staged_exe}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage_dir}
  COMMAND ${CMAKE_STRIP} -o ${staged_exe} $<TARGET_FILE:kestrune>
  DEPENDS kestrune
  COMMENT "Staging kestrune.exe for the Windows packages"
  VERBATIM)

set(script ${PROJECT_SOURCE_DIR}/packaging/windows/kestrune.nsi)
add_custom_command(OUTPUT ${KESTRUNE_WINDOWS_INSTALLER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRUNE_WINDOWS_DIST_DIR}
  # -WX: a warning (an unused string, a missing file) fails the build.
  COMMAND ${KESTRUNE_MAKENSIS} -V2 -WX -INPUTCHARSET UTF8
    -DKESTRUNE_VERSION=${PROJECT_VERSION}
    -DKESTRUNE_EXE=${staged_exe}
    -DKESTRUNE_ICON=${KESTRUNE_ARTWORK_DIR}/game.ico
    -DKESTRUNE_OUTFILE=${KESTRUNE_WINDOWS_INSTALLER}
    -DKESTRUNE_PUBLISHER=${KESTRUNE_PUBLISHER}
    -DKESTRUNE_URL=${KESTRUNE_HOMEPAGE_URL}
    ${script}
  DEPENDS ${staged_exe} ${script} ${KESTRUNE_ARTWORK_DIR}/game.ico
  COMMENT "Building the Windows installer"
  VERBATIM)

# The zip holds the executable at its top with a fixed time stamp, so equal programs give equal zips.
add_custom_command(OUTPUT ${KESTRUNE_WINDOWS_PORTABLE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KESTRUNE_WINDOWS_DIST_DIR}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${KESTRUNE_WINDOWS_PORTABLE}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${KESTRUNE_WINDOWS_PORTABLE} --format=zip "--mtime=2026-12-09 12:00:00 UTC"
    kestrune.exe
  WORKING_DIRECTORY ${stage_dir}
  DEPENDS ${staged_exe}
  COMMENT "Building the portable Windows zip"
  VERBATIM)

add_custom_target(kestrune_windows_packages ALL DEPENDS ${KESTRUNE_WINDOWS_INSTALLER} ${KESTRUNE_WINDOWS_PORTABLE})
