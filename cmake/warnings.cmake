# Warnings as errors on every target of ours, Linux and mingw alike.
function(ksb_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
    # GCC 12 at -O2/-O3 raises a false -Wrestrict inside libstdc++'s
    # char_traits when a literal and a temporary string are joined
    # (GCC bug 105329); it says nothing about our code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
        target_compile_options(${target} PRIVATE -Wno-restrict)
    endif()
endfunction()
