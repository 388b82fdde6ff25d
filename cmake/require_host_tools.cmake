# cmake -DPAK_TOOL=PATH -DATLAS_TOOL=PATH -P require_host_tools.cmake: stops
# the build with a message naming each of the content tools, built for the
# machine that builds, that is missing (a cross build cannot run its own).
set(missing "")
foreach(tool "${PAK_TOOL}" "${ATLAS_TOOL}")
  if(NOT EXISTS "${tool}")
    list(APPEND missing "${tool}")
  endif()
endforeach()
if(missing)
  string(REPLACE ";" ", " missing "${missing}")
  message(FATAL_ERROR "The sample game's art.pak needs content tools built for this machine, and these are "
                      "missing: ${missing}. Build them first (tools/build does, in build/release) or point "
                      "VOZER_HOST_PAK and VOZER_HOST_ATLAS at them.")
endif()
