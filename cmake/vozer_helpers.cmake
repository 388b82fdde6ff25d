# Compiler settings shared by every target, and helpers for plug-in libraries.

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  add_compile_options(-Wall -Wextra)
  if(VOZER_WERROR)
    add_compile_options(-Werror)
  endif()
  if(VOZER_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  elseif(VOZER_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
      # GCC's flow analysis reports uninitialised reads inside the standard
      # library's own code once the sanitizers instrument it (std::function
      # in <regex>); those are not ours to fix.
      add_compile_options(-Wno-maybe-uninitialized)
    endif()
    add_link_options(-fsanitize=address,undefined)
  elseif(VOZER_TSAN)
    add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
    add_link_options(-fsanitize=thread)
  endif()
endif()
if(VOZER_TSAN AND VOZER_SANITIZE)
  message(FATAL_ERROR "VOZER_TSAN and VOZER_SANITIZE exclude each other: one sanitizer runtime per process")
endif()

if(WIN32)
  # Self-contained binaries: each module carries its own C and C++ runtime.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()

# A library loaded by name at run time (renderer, sound, input, Program):
# no "lib" prefix, ".dll" on Windows and ".so" on the development host, only
# explicitly exported symbols, and no undefined symbols left for the loader.
function(vozer_plugin target)
  set_target_properties(${target} PROPERTIES PREFIX "" C_VISIBILITY_PRESET hidden
                        CXX_VISIBILITY_PRESET hidden)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/include)
  if(NOT WIN32 AND NOT APPLE)
    target_link_options(${target} PRIVATE -Wl,-z,defs)
  endif()
endfunction()

# A Program library (prog.dll / prog.so) built only against include/, placed
# in its own output folder so that several Programs can coexist.
function(vozer_program target output_dir)
  add_library(${target} MODULE ${ARGN})
  vozer_plugin(${target})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME prog
                        LIBRARY_OUTPUT_DIRECTORY ${output_dir}
                        RUNTIME_OUTPUT_DIRECTORY ${output_dir})
  if(WIN32)
    # i686 cdecl exports without decoration.
    target_link_options(${target} PRIVATE -Wl,--kill-at)
  endif()
endfunction()
