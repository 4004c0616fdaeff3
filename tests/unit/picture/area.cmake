# Picture files that both builds' decoder tests share, written on the build machine with libpng,
# libjpeg and giflib together with what the Linux decoders (for GIF, giflib's) make of them, and
# embedded into the test program: the Windows build, which decodes PNG and JPEG with WIC, must agree
# with them pixel for pixel, and the program's own GIF decoder with giflib on both builds.
set(fixture_dir ${CMAKE_CURRENT_BINARY_DIR}/picture-fixtures)
set(fixture_names JpegGreyBands JpegRed JpegNoise JpegSubsampled JpegProgressive JpegCmyk
  PngRgba PngPalette PngGrey PngGreyAlpha PngGrey2Bit PngRgb16 PngInterlaced)
# GIF files from giflib, with what giflib's decoder reads from them (PictureFixtures.h).
foreach(h RANGE 1 19)
  list(APPEND fixture_names GifPlainH${h} GifInterlacedH${h})
endforeach()
foreach(bits RANGE 1 8)
  list(APPEND fixture_names GifCodeSize${bits})
endforeach()
list(APPEND fixture_names GifLocalPalette GifTransparent GifSeveralImages GifSmallerThanScreen GifNoise40)
if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(host_dir ${CMAKE_CURRENT_BINARY_DIR}/host-picture-fixtures)
  set(host_args -DCMAKE_BUILD_TYPE=Release)
  if(CMAKE_CXX_COMPILER_LAUNCHER)
    list(APPEND host_args -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
  endif()
  ExternalProject_Add(kestrune_host_picture_fixtures
    SOURCE_DIR ${area_dir}/fixtures
    BINARY_DIR ${host_dir}
    CMAKE_ARGS ${host_args}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${host_dir}/kestrune_picture_fixtures)
  set(fixture_tool ${host_dir}/kestrune_picture_fixtures)
  set(fixture_tool_target kestrune_host_picture_fixtures ${fixture_tool})
else()
  add_executable(kestrune_picture_fixtures ${area_dir}/fixtures/FixtureWriter.cpp)
  target_compile_options(kestrune_picture_fixtures PRIVATE ${KESTRUNE_WARNINGS})
  target_include_directories(kestrune_picture_fixtures PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(kestrune_picture_fixtures PRIVATE kestrune_picture kestrune_picture_writers PNG::PNG JPEG::JPEG GIF::GIF)
  set(fixture_tool $<TARGET_FILE:kestrune_picture_fixtures>)
  set(fixture_tool_target kestrune_picture_fixtures)
endif()

set(fixture_files)
set(embed_specs)
foreach(name IN LISTS fixture_names)
  list(APPEND fixture_files ${fixture_dir}/${name} ${fixture_dir}/${name}Decoded)
  list(APPEND embed_specs Fixture${name}=${fixture_dir}/${name} Fixture${name}Decoded=${fixture_dir}/${name}Decoded)
endforeach()
list(APPEND fixture_files ${fixture_dir}/LoginSkinDecoded)
list(APPEND embed_specs FixtureLoginSkinDecoded=${fixture_dir}/LoginSkinDecoded)
# The drawn artwork that the program does not embed itself (the icon theme's large program icon).
list(APPEND embed_specs FixtureLargeProgramIcon=${KESTRUNE_ARTWORK_DIR}/game-256.png)
add_custom_command(
  OUTPUT ${fixture_files}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${fixture_dir}
  COMMAND ${fixture_tool} ${fixture_dir} ${KESTRUNE_ARTWORK_DIR}/login_background.png
  DEPENDS ${fixture_tool_target} kestrune_artwork ${KESTRUNE_ARTWORK_DIR}/login_background.png
  COMMENT "Writing the shared picture fixtures"
  VERBATIM)
set(fixture_source ${CMAKE_CURRENT_BINARY_DIR}/PictureFixtures.cpp)
add_custom_command(
  OUTPUT ${fixture_source}
  COMMAND ${KESTRUNE_ARTWORK_GENERATOR} embed ${fixture_source} ${embed_specs}
  DEPENDS ${KESTRUNE_ARTWORK_GENERATOR_TARGET} ${fixture_files} kestrune_artwork ${KESTRUNE_ARTWORK_DIR}/game-256.png
  COMMENT "Embedding the shared picture fixtures"
  VERBATIM)
target_sources(${target} PRIVATE ${fixture_source})
