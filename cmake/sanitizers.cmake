# AddressSanitizer + UndefinedBehaviorSanitizer for the whole tree (dev preset).
option(KSB_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KSB_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()
