# 32-bit Windows, the library's home; its programs run here under 32-bit Wine,
# which ctest uses as emulator.
set(VESK_TARGET_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine)
