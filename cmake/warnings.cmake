# The warnings of every target of ours, Linux and mingw alike. They stop the
# build only with KSB_WERROR, which the presets and CI switch on: a compiler
# other than the ones CI uses (newer, or at another optimisation level) may
# warn inside its own headers, and that must not stop a user's build.
option(KSB_WERROR "Treat compiler warnings as errors" OFF)

function(ksb_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(KSB_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    # GCC 12 at -O2/-O3 raises a false -Wrestrict inside libstdc++'s
    # char_traits when a literal and a temporary string are joined
    # (GCC bug 105329); it says nothing about our code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()
