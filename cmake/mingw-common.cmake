# What the two mingw-w64 toolchain files share; KSB_MINGW_TRIPLE names the target.
set(CMAKE_C_COMPILER ${KSB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KSB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KSB_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KSB_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No runtime DLLs beside the program: the C++ runtime, libgcc and winpthread
# are linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# mingw-w64's GCC 12 inlines libstdc++'s string concatenation far enough to
# raise a false -Wrestrict (GCC bug 105329) on plain `u"s" + std::u16string(...)`;
# the warning is off for this compiler only.
if(NOT DEFINED KSB_MINGW_CXX_FLAGS_SET)
    set(KSB_MINGW_CXX_FLAGS_SET ON)
    set(CMAKE_CXX_FLAGS_INIT "${CMAKE_CXX_FLAGS_INIT} -Wno-restrict")
endif()
