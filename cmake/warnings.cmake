# Warnings as errors on every target of ours, Linux and mingw alike.
function(ksb_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Werror)
endfunction()
