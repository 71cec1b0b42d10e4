# 32-bit Windows, the library's home; built and linked here, not run.
set(VESK_TARGET_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
