# find_package(Vozer): the engine's public C headers as the interface target
# Vozer::headers, and vozer_add_game(), which builds a Program library
# (prog.dll) and assembles a game folder that runs as it would ship:
# the kit's runtime and renderers, the Program and its resources.
#
# The kit is for Windows Programs: configure with one of the toolchain files
# beside this one (cmake -DCMAKE_TOOLCHAIN_FILE=<kit>/cmake/toolchain-mingw-ARCH.cmake).
get_filename_component(VOZER_SDK_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(VOZER_INCLUDE_DIR "${VOZER_SDK_DIR}/include")
set(VOZER_RUNTIME_DIR "${VOZER_SDK_DIR}/bin")
set(VOZER_TOOLS_DIR "${VOZER_SDK_DIR}/tools")

if(NOT TARGET Vozer::headers)
  add_library(Vozer::headers INTERFACE IMPORTED)
  set_target_properties(Vozer::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${VOZER_INCLUDE_DIR}")
endif()

# vozer_add_game(TARGET SOURCES file... [RESOURCES folder] [GAME_FOLDER folder])
# The Program is built as prog.dll (undecorated cdecl exports, its own static
# C runtime); after each build the game folder (default: <build>/game) gets
# the kit's bin/ folder, prog.dll and the resources (prog.xml at least).
function(vozer_add_game target)
  cmake_parse_arguments(GAME "" "RESOURCES;GAME_FOLDER" "SOURCES" ${ARGN})
  if(NOT WIN32)
    message(FATAL_ERROR "vozer_add_game builds Windows Programs: configure with "
                        "-DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_FUNCTION_LIST_DIR}/toolchain-mingw-<arch>.cmake")
  endif()
  if(NOT GAME_SOURCES)
    message(FATAL_ERROR "vozer_add_game(${target}): no SOURCES")
  endif()
  if(NOT GAME_GAME_FOLDER)
    set(GAME_GAME_FOLDER "${CMAKE_BINARY_DIR}/game")
  endif()
  add_library(${target} MODULE ${GAME_SOURCES})
  target_link_libraries(${target} PRIVATE Vozer::headers)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME prog
                        C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden)
  target_link_options(${target} PRIVATE -Wl,--kill-at -static-libgcc)
  set(copy_resources)
  if(GAME_RESOURCES)
    set(copy_resources COMMAND ${CMAKE_COMMAND} -E copy_directory "${GAME_RESOURCES}" "${GAME_GAME_FOLDER}")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_directory "${VOZER_RUNTIME_DIR}" "${GAME_GAME_FOLDER}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:${target}>" "${GAME_GAME_FOLDER}/"
    ${copy_resources}
    COMMENT "Assembling the game folder ${GAME_GAME_FOLDER}"
    VERBATIM)
endfunction()
