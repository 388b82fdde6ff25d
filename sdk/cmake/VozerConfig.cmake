# find_package(Vozer): the engine's public C headers as the interface target
# Vozer::headers; vozer_add_game(), which builds a Program library (prog.dll)
# and assembles a game folder that runs as it would ship (the kit's runtime,
# renderers and sound library, the Program and its resources); and the
# content helpers vozer_add_pak(), vozer_add_font() and vozer_add_atlas(),
# which run the kit's tools at build time.
#
# The kit is for Windows Programs: configure with one of the toolchain files
# beside this one (cmake -DCMAKE_TOOLCHAIN_FILE=<kit>/cmake/toolchain-mingw-ARCH.cmake).
get_filename_component(VOZER_SDK_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(VOZER_INCLUDE_DIR "${VOZER_SDK_DIR}/include")
set(VOZER_RUNTIME_DIR "${VOZER_SDK_DIR}/bin")
set(VOZER_TOOLS_DIR "${VOZER_SDK_DIR}/tools")
# The tools run on the machine that builds: the Linux or the Windows ones.
if(CMAKE_HOST_WIN32)
  set(VOZER_HOST_TOOLS_DIR "${VOZER_TOOLS_DIR}/windows")
else()
  set(VOZER_HOST_TOOLS_DIR "${VOZER_TOOLS_DIR}/linux")
endif()

if(NOT TARGET Vozer::headers)
  add_library(Vozer::headers INTERFACE IMPORTED)
  set_target_properties(Vozer::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${VOZER_INCLUDE_DIR}")
endif()

# vozer_add_game(TARGET SOURCES file... [RESOURCES folder] [GAME_FOLDER folder])
# The Program is built as prog.dll (undecorated cdecl exports, its own static
# C runtime). Every build then assembles the game folder (default:
# <build>/game): the kit's bin/ folder, prog.dll and the resources
# (prog.xml at least). The resources are copied on every build, not only
# when prog.dll relinks, so an edited prog.xml or image is never stale.
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
  get_filename_component(GAME_GAME_FOLDER "${GAME_GAME_FOLDER}" ABSOLUTE BASE_DIR "${CMAKE_BINARY_DIR}")
  add_library(${target} MODULE ${GAME_SOURCES})
  target_link_libraries(${target} PRIVATE Vozer::headers)
  set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME prog
                        C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
                        VOZER_GAME_FOLDER "${GAME_GAME_FOLDER}")
  target_link_options(${target} PRIVATE -Wl,--kill-at -static-libgcc)
  set(copy_resources)
  if(GAME_RESOURCES)
    get_filename_component(GAME_RESOURCES "${GAME_RESOURCES}" ABSOLUTE)
    set(copy_resources COMMAND ${CMAKE_COMMAND} -E copy_directory "${GAME_RESOURCES}" "${GAME_GAME_FOLDER}")
  endif()
  # A target without outputs runs on every build.
  add_custom_target(${target}_game_folder ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory "${VOZER_RUNTIME_DIR}" "${GAME_GAME_FOLDER}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "$<TARGET_FILE:${target}>" "${GAME_GAME_FOLDER}/"
    ${copy_resources}
    COMMENT "Assembling the game folder ${GAME_GAME_FOLDER}"
    VERBATIM)
  add_dependencies(${target}_game_folder ${target})
endfunction()

# _vozer_find_tool(VARIABLE name): the kit's tool for this machine, or a
# configure error that says what is missing.
function(_vozer_find_tool variable name)
  find_program(${variable} ${name} PATHS "${VOZER_HOST_TOOLS_DIR}" NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ${variable})
    message(FATAL_ERROR "The kit has no ${name} for this machine in ${VOZER_HOST_TOOLS_DIR}; "
                        "set ${variable} to one.")
  endif()
endfunction()

# _vozer_content_output(TARGET OUTPUT VARIABLE): where a helper writes its
# file: an OUTPUT relative to the game folder of TARGET, or an absolute one.
function(_vozer_content_output target output variable)
  get_target_property(folder ${target} VOZER_GAME_FOLDER)
  if(NOT folder)
    message(FATAL_ERROR "${target} is not a game of vozer_add_game()")
  endif()
  get_filename_component(path "${output}" ABSOLUTE BASE_DIR "${folder}")
  get_filename_component(directory "${path}" DIRECTORY)
  file(MAKE_DIRECTORY "${directory}")
  set(${variable} "${path}" PARENT_SCOPE)
endfunction()

# _vozer_content_target(TARGET PATH): a build step of TARGET's content,
# made on every build of everything (and before the game folder counts as
# assembled).
function(_vozer_content_target target path)
  string(MAKE_C_IDENTIFIER "${path}" id)
  string(MD5 id "${id}")
  string(SUBSTRING "${id}" 0 8 id)
  get_filename_component(name "${path}" NAME_WE)
  add_custom_target(${target}_content_${name}_${id} ALL DEPENDS "${path}")
  add_dependencies(${target}_game_folder ${target}_content_${name}_${id})
endfunction()

# _vozer_tool_step(TARGET TOOL VARIABLE OUTPUT output COMMENT text
#                  [ARGS argument...] [DEPENDS file...])
# Runs the kit's TOOL (found into VARIABLE) as TOOL ARGS... OUTPUT whenever
# one of DEPENDS or the tool changes; OUTPUT is taken as
# _vozer_content_output() takes it and COMMENT is followed by its path.
function(_vozer_tool_step target tool variable)
  cmake_parse_arguments(STEP "" "OUTPUT;COMMENT" "ARGS;DEPENDS" ${ARGN})
  _vozer_find_tool(${variable} ${tool})
  _vozer_content_output(${target} "${STEP_OUTPUT}" output)
  add_custom_command(OUTPUT "${output}"
    COMMAND "${${variable}}" ${STEP_ARGS} "${output}"
    DEPENDS ${STEP_DEPENDS} "${${variable}}"
    COMMENT "${STEP_COMMENT} ${output}"
    VERBATIM)
  _vozer_content_target(${target} "${output}")
endfunction()

# vozer_add_pak(TARGET FOLDER folder [OUTPUT file.pak] [DEPENDS file...])
# Packs every file below FOLDER with vozer-pak into OUTPUT (default: the
# folder's name + ".pak" in the game folder; a relative OUTPUT is taken in
# the game folder), again whenever a file below FOLDER or one of DEPENDS
# (files other helpers write into FOLDER) changes. Name the pak in prog.xml
# (packages="name"). Keep the folder outside the game's RESOURCES, or its
# files are copied loose as well.
function(vozer_add_pak target)
  cmake_parse_arguments(PAK "" "FOLDER;OUTPUT" "DEPENDS" ${ARGN})
  if(NOT PAK_FOLDER)
    message(FATAL_ERROR "vozer_add_pak(${target}): no FOLDER")
  endif()
  get_filename_component(PAK_FOLDER "${PAK_FOLDER}" ABSOLUTE)
  if(NOT PAK_OUTPUT)
    get_filename_component(name "${PAK_FOLDER}" NAME)
    set(PAK_OUTPUT "${name}.pak")
  endif()
  file(GLOB_RECURSE inputs CONFIGURE_DEPENDS "${PAK_FOLDER}/*")
  _vozer_tool_step(${target} vozer-pak VOZER_PAK_TOOL OUTPUT "${PAK_OUTPUT}"
    ARGS create "${PAK_FOLDER}" DEPENDS ${inputs} ${PAK_DEPENDS} COMMENT "Packing ${PAK_FOLDER} into")
endfunction()

# vozer_add_font(TARGET SOURCE font.mft.xml OUTPUT font.mft [SEARCH folder...] [SCALE s])
# Compiles a font source with vozer-font into OUTPUT (relative: in the game
# folder, e.g. fonts/title.mft). The outline font the source names is looked
# up beside the source, then in each SEARCH folder.
function(vozer_add_font target)
  cmake_parse_arguments(FONT "" "SOURCE;OUTPUT;SCALE" "SEARCH" ${ARGN})
  if(NOT FONT_SOURCE OR NOT FONT_OUTPUT)
    message(FATAL_ERROR "vozer_add_font(${target}): SOURCE and OUTPUT are needed")
  endif()
  get_filename_component(FONT_SOURCE "${FONT_SOURCE}" ABSOLUTE)
  set(options)
  if(FONT_SCALE)
    list(APPEND options --scale "${FONT_SCALE}")
  endif()
  foreach(folder ${FONT_SEARCH})
    get_filename_component(folder "${folder}" ABSOLUTE)
    list(APPEND options --search "${folder}")
  endforeach()
  _vozer_tool_step(${target} vozer-font VOZER_FONT_TOOL OUTPUT "${FONT_OUTPUT}"
    ARGS ${options} "${FONT_SOURCE}" DEPENDS "${FONT_SOURCE}" COMMENT "Generating the font")
endfunction()

# vozer_add_atlas(TARGET FRAMES folder-or-pattern OUTPUT sequence.bms [FPS n] [OPTIONS option...])
# Packs numbered PNG frames (walk*.png) or every PNG of a folder into one
# bitmap sequence with vozer-atlas; OPTIONS go to the tool as they are
# (--frames, --keep-repeats).
function(vozer_add_atlas target)
  cmake_parse_arguments(ATLAS "" "FRAMES;OUTPUT;FPS" "OPTIONS" ${ARGN})
  if(NOT ATLAS_FRAMES OR NOT ATLAS_OUTPUT)
    message(FATAL_ERROR "vozer_add_atlas(${target}): FRAMES and OUTPUT are needed")
  endif()
  get_filename_component(ATLAS_FRAMES "${ATLAS_FRAMES}" ABSOLUTE)
  set(options ${ATLAS_OPTIONS})
  if(ATLAS_FPS)
    list(APPEND options --fps "${ATLAS_FPS}")
  endif()
  if(IS_DIRECTORY "${ATLAS_FRAMES}")
    file(GLOB inputs CONFIGURE_DEPENDS "${ATLAS_FRAMES}/*.png")
  else()
    file(GLOB inputs CONFIGURE_DEPENDS "${ATLAS_FRAMES}")
  endif()
  _vozer_tool_step(${target} vozer-atlas VOZER_ATLAS_TOOL OUTPUT "${ATLAS_OUTPUT}"
    ARGS ${options} "${ATLAS_FRAMES}" DEPENDS ${inputs} COMMENT "Packing the frames ${ATLAS_FRAMES} into")
endfunction()
