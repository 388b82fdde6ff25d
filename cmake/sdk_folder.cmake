# dist/<arch>/sdk: the kit a game maker builds a game with, from this folder
# alone: the public headers, the runtime, renderers and sound library (bin/),
# the Windows tools, a template game, a CMake package (find_package(Vozer))
# and a toolchain file, and GUIDE.md (written for this kit's architecture).
# tools/build adds the Linux tools (tools/linux/) from the native release
# build.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VOZER_SDK_DIR ${PROJECT_SOURCE_DIR}/dist/win64/sdk)
  set(VOZER_MINGW_PACKAGE_ARCH x86-64)
else()
  set(VOZER_SDK_DIR ${PROJECT_SOURCE_DIR}/dist/win32/sdk)
  set(VOZER_MINGW_PACKAGE_ARCH i686)
endif()
set(VZ_INTERFACE_VERSION 1222)
set(sdk_generated ${CMAKE_BINARY_DIR}/sdk)
configure_file(${PROJECT_SOURCE_DIR}/sdk/cmake/toolchain-mingw.cmake.in
               ${sdk_generated}/toolchain-mingw-${VOZER_MINGW_ARCH}.cmake @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/sdk/cmake/VozerConfigVersion.cmake.in
               ${sdk_generated}/VozerConfigVersion.cmake @ONLY)
# The guide names this kit's toolchain file, compiler package and Wine.
if(VOZER_MINGW_ARCH STREQUAL "x86_64")
  set(VOZER_KIT_WINE "/usr/lib/wine/wine64")
  set(VOZER_KIT_WINE_NOTE "Debian's `wine` command starts the 32-bit loader when 32-bit Wine is installed, so\n64-bit games are started with `wine64` (on Debian `/usr/lib/wine/wine64`).")
else()
  set(VOZER_KIT_WINE "wine")
  set(VOZER_KIT_WINE_NOTE "32-bit Windows programs need 32-bit Wine (Debian: `wine32:i386`).")
endif()
configure_file(${PROJECT_SOURCE_DIR}/sdk/GUIDE.md ${sdk_generated}/GUIDE.md @ONLY)

file(GLOB sdk_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/*.h)
# bin/core: the renderers and the sound library that games name in prog.xml.
set(sdk_core_libraries $<TARGET_FILE:gfxmod_null> $<TARGET_FILE:sndmod_wave>)
if(TARGET gfxmod_d3d8)
  list(APPEND sdk_core_libraries $<TARGET_FILE:gfxmod_d3d8>)
endif()
set(sdk_tools)
foreach(tool vozer-pak vozer-font vozer-atlas)
  if(TARGET ${tool})
    list(APPEND sdk_tools $<TARGET_FILE:${tool}>)
  endif()
endforeach()

# The template's click, made with sox as the sample's sounds are.
set(sdk_template_sounds ${sdk_generated}/template/res/sfx/click.wav)
add_custom_command(OUTPUT ${sdk_template_sounds}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${sdk_generated}/template/res/sfx
  COMMAND ${VOZER_SOX} -n -r 22050 -c 1 -b 16 ${sdk_template_sounds} synth 0.08 square 880 fade 0 0.08 0.06 vol 0.4
  COMMENT "Making the template's click"
  VERBATIM)

add_custom_target(vozer_sdk ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VOZER_SDK_DIR}/include ${VOZER_SDK_DIR}/template
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VOZER_SDK_DIR}/include ${VOZER_SDK_DIR}/bin/core
          ${VOZER_SDK_DIR}/tools/windows ${VOZER_SDK_DIR}/cmake
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sdk_headers} ${VOZER_SDK_DIR}/include/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:vozer_runtime> ${VOZER_SDK_DIR}/bin/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sdk_core_libraries} ${VOZER_SDK_DIR}/bin/core/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VOZER_CONSOLE_FONT} ${VOZER_SDK_DIR}/bin/core/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sdk_tools} ${VOZER_SDK_DIR}/tools/windows/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/sdk/cmake/VozerConfig.cmake
          ${sdk_generated}/VozerConfigVersion.cmake
          ${sdk_generated}/toolchain-mingw-${VOZER_MINGW_ARCH}.cmake ${VOZER_SDK_DIR}/cmake/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/sdk/template ${VOZER_SDK_DIR}/template
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${sdk_generated}/template ${VOZER_SDK_DIR}/template
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sdk_generated}/GUIDE.md ${VOZER_SDK_DIR}/
  DEPENDS vozer_runtime gfxmod_null sndmod_wave vozer_fonts ${VOZER_CONSOLE_FONT} ${sdk_generated}/GUIDE.md
          ${sdk_template_sounds}
  COMMENT "Assembling the game maker's kit"
  VERBATIM)
foreach(tool vozer-pak vozer-font vozer-atlas gfxmod_d3d8)
  if(TARGET ${tool})
    add_dependencies(vozer_sdk ${tool})
  endif()
endforeach()
