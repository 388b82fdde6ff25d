# dist/win32/demo: the sample game as it ships to players, runnable as is:
# vozer_runtime.exe, the Program, its boot configuration and resources (with
# the sounds made at build time), and the renderer plug-ins and the sound
# library in core/. (The x86_64 test build assembles dist/win64/demo.)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(VOZER_DEMO_DIR ${PROJECT_SOURCE_DIR}/dist/win64/demo)
else()
  set(VOZER_DEMO_DIR ${PROJECT_SOURCE_DIR}/dist/win32/demo)
endif()
# The Direct3D 8 renderer is the sample's configured one; the headless
# renderer ships beside it for servers and automated runs.
set(demo_renderers $<TARGET_FILE:gfxmod_d3d8> $<TARGET_FILE:gfxmod_null>)
add_custom_target(vozer_demo ALL
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VOZER_DEMO_DIR}/core
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:vozer_runtime> ${VOZER_DEMO_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:sample_demo> ${VOZER_DEMO_DIR}/
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${demo_renderers} ${VOZER_DEMO_DIR}/core/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${PROJECT_SOURCE_DIR}/samples/demo/res ${VOZER_DEMO_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:sndmod_wave> ${VOZER_DEMO_DIR}/core/
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_BINARY_DIR}/samples/demo/res ${VOZER_DEMO_DIR}
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VOZER_CONSOLE_FONT} ${VOZER_DEMO_DIR}/core/
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VOZER_DEMO_DIR}/fonts
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VOZER_DEMO_FONTS} ${VOZER_DEMO_DIR}/fonts/
  DEPENDS vozer_runtime sample_demo gfxmod_d3d8 gfxmod_null sndmod_wave sample_demo_sounds vozer_fonts ${VOZER_CONSOLE_FONT} ${VOZER_DEMO_FONTS}
  COMMENT "Assembling the demo folder"
  VERBATIM)
if(TARGET vozer-pak)
  add_dependencies(vozer_demo vozer-pak)
endif()
if(TARGET sample_demo_art)
  add_custom_command(TARGET vozer_demo POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${VOZER_DEMO_PAK} ${VOZER_DEMO_DIR}/
    VERBATIM)
  add_dependencies(vozer_demo sample_demo_art)
endif()
