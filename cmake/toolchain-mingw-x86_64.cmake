# 64-bit Windows build of the same sources. It is not shipped: it runs the
# Windows tests under Wine on machines whose kernel cannot execute 32-bit
# programs (and so cannot run 32-bit Wine).
set(VOZER_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
