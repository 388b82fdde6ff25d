# dist/<arch>/sdk: the kit a game maker builds a game with, from this folder
# alone: the public headers, the runtime and renderers (bin/), the Windows
# tools, a template game, a CMake package (find_package(Vozer)) and a
# toolchain file, and GUIDE.md. tools/build adds the Linux tools
# (tools/linux/) from the native release build.
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

file(GLOB sdk_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/include/*.h)
set(sdk_renderers $<TARGET_FILE:gfxmod_null>)
if(TARGET gfxmod_d3d8)
  list(APPEND sdk_renderers $<TARGET_FILE:gfxmod_d3d8>)
endif()
set(sdk_tools)
foreach(tool vozer-pak vozer-font vozer-atlas)
  if(TARGET ${tool})
    list(APPEND sdk_tools $<TARGET_FILE:${tool}>)
  endif()
endforeach()

add_custom_target(vozer_sdk ALL
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${VOZER_SDK_DIR}/include ${VOZER_SDK_DIR}/template
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VOZER_SDK_DIR}/include ${VOZER_SDK_DIR}/bin/core
          ${VOZER_SDK_DIR}/tools/windows ${VOZER_SDK_DIR}/cmake
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sdk_headers} ${VOZER_SDK_DIR}/include/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:vozer_runtime> ${VOZER_SDK_DIR}/bin/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sdk_renderers} ${VOZER_SDK_DIR}/bin/core/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VOZER_CONSOLE_FONT} ${VOZER_SDK_DIR}/bin/core/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${sdk_tools} ${VOZER_SDK_DIR}/tools/windows/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/sdk/cmake/VozerConfig.cmake
          ${sdk_generated}/VozerConfigVersion.cmake
          ${sdk_generated}/toolchain-mingw-${VOZER_MINGW_ARCH}.cmake ${VOZER_SDK_DIR}/cmake/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/sdk/template ${VOZER_SDK_DIR}/template
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${PROJECT_SOURCE_DIR}/sdk/GUIDE.md ${VOZER_SDK_DIR}/
  DEPENDS vozer_runtime gfxmod_null vozer_fonts ${VOZER_CONSOLE_FONT} ${PROJECT_SOURCE_DIR}/sdk/GUIDE.md
  COMMENT "Assembling the game maker's kit"
  VERBATIM)
foreach(tool vozer-pak vozer-font vozer-atlas gfxmod_d3d8)
  if(TARGET ${tool})
    add_dependencies(vozer_sdk ${tool})
  endif()
endforeach()
