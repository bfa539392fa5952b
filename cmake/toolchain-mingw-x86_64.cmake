# Windows x86_64 with mingw-w64 (posix thread variant). The programs are
# linked statically, so they need no libstdc++, libgcc or winpthread DLL, and
# they run under wine64 through wine-run.sh (ctest uses it as the emulator).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KSB_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
