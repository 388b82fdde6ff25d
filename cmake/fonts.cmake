# Fonts made at build time from Debian's DejaVu fonts (fonts-dejavu-core) by
# vozer-font: no font binary is kept in the source tree. The console font
# goes to ${VOZER_FONTS_DIR}/core/console.mft, the sample's fonts to
# ${VOZER_FONTS_DIR}/demo/fonts/; the demo folder and the kit copy them.
find_path(VOZER_DEJAVU_DIR DejaVuSans.ttf PATHS /usr/share/fonts/truetype/dejavu NO_CMAKE_FIND_ROOT_PATH
          DOC "folder of DejaVuSans.ttf (package fonts-dejavu-core)")
if(NOT VOZER_DEJAVU_DIR)
  message(FATAL_ERROR "DejaVuSans.ttf not found: install fonts-dejavu-core (tools/lib/install-packages.sh does)")
endif()

if(CMAKE_CROSSCOMPILING)
  # The Windows vozer-font cannot run here; tools/build makes the Linux one
  # in build/release first.
  set(VOZER_HOST_FONT_TOOL "${PROJECT_SOURCE_DIR}/build/release/vozer-font" CACHE FILEPATH
      "a vozer-font that runs on the build machine")
  set(vozer_font_command ${VOZER_HOST_FONT_TOOL})
  set(vozer_font_depends ${VOZER_HOST_FONT_TOOL})
else()
  set(vozer_font_command $<TARGET_FILE:vozer-font>)
  set(vozer_font_depends vozer-font)
endif()

set(VOZER_FONTS_DIR ${CMAKE_BINARY_DIR}/fonts)
set(VOZER_CONSOLE_FONT ${VOZER_FONTS_DIR}/core/console.mft)
set(VOZER_DEMO_FONTS)
set(vozer_font_outputs)

# vozer_compile_font(SOURCE OUTPUT): OUTPUT is made from the .mft.xml SOURCE.
# These fonts are kerned (--kern): their texts were laid out with kerning.
function(vozer_compile_font source output)
  get_filename_component(output_dir ${output} DIRECTORY)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${output_dir}
    COMMAND ${vozer_font_command} --kern --search ${VOZER_DEJAVU_DIR} ${source} ${output}
    DEPENDS ${source} ${vozer_font_depends}
    COMMENT "Compiling font ${output}"
    VERBATIM)
endfunction()

vozer_compile_font(${PROJECT_SOURCE_DIR}/assets/core/console.mft.xml ${VOZER_CONSOLE_FONT})
list(APPEND vozer_font_outputs ${VOZER_CONSOLE_FONT})
file(GLOB demo_font_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/samples/demo/fonts/*.mft.xml)
foreach(source ${demo_font_sources})
  get_filename_component(file ${source} NAME)
  string(REGEX REPLACE "\\.xml$" "" file ${file})
  vozer_compile_font(${source} ${VOZER_FONTS_DIR}/demo/fonts/${file})
  list(APPEND VOZER_DEMO_FONTS ${VOZER_FONTS_DIR}/demo/fonts/${file})
  list(APPEND vozer_font_outputs ${VOZER_FONTS_DIR}/demo/fonts/${file})
endforeach()
add_custom_target(vozer_fonts ALL DEPENDS ${vozer_font_outputs})
