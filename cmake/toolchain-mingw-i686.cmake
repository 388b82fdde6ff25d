# The product: 32-bit Windows (Direct3D 8 exists only there), with the record
# layouts fixed by the binary interface.
set(VOZER_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
