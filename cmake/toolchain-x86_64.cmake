# 64-bit Windows; its programs run here under Wine, which ctest uses as emulator.
set(VESK_TARGET_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR /usr/lib/wine/wine64)
