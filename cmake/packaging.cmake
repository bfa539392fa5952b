# The release packages, made with "cpack --config <build>/CPackConfig.cmake":
# a zip for Windows (x86_64 or i686), a .tar.gz for Linux. Unpacked into an
# empty folder each holds
#
#   KestoSkinBuilder(.exe)        the program
#   libKestoSkinBuilderWindow.so  its window (Linux)
#   KestoSkinCheck(.exe)          the checker
#   KestoSkinUnpack(.exe)         the unpacker
#   README, writing-skins         the README and the author's guide (Windows:
#                                 .txt with CR LF, for Notepad; Linux: .md)
#   examples/Files/               the example skin
#
# Included last, after every folder has made its targets.
if(NOT TARGET KestoSkinBuilder)
    return()
endif()

install(TARGETS KestoSkinBuilder KestoSkinCheck KestoSkinUnpack RUNTIME DESTINATION .)
if(TARGET KestoSkinBuilderWindow)
    install(TARGETS KestoSkinBuilderWindow LIBRARY DESTINATION .)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/Files DESTINATION examples)

# Text documents: as they are on Linux, with CR LF line ends and a .txt name
# on Windows.
function(ksb_install_text source name)
    if(WIN32)
        file(READ ${source} text)
        string(REPLACE "\r\n" "\n" text "${text}")
        string(REPLACE "\n" "\r\n" text "${text}")
        set(copy ${PROJECT_BINARY_DIR}/package-text/${name}.txt)
        file(WRITE ${copy} "${text}")
        set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
        install(FILES ${copy} DESTINATION .)
    else()
        install(FILES ${source} DESTINATION .)
    endif()
endfunction()

ksb_install_text(${PROJECT_SOURCE_DIR}/README.md README)
ksb_install_text(${PROJECT_SOURCE_DIR}/docs/writing-skins.md writing-skins)

if(WIN32)
    set(CPACK_GENERATOR ZIP)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(KSB_PACKAGE_SYSTEM windows-x86_64)
    else()
        set(KSB_PACKAGE_SYSTEM windows-i686)
    endif()
else()
    set(CPACK_GENERATOR TGZ)
    set(KSB_PACKAGE_SYSTEM linux-${CMAKE_SYSTEM_PROCESSOR})
endif()
set(CPACK_PACKAGE_NAME KestoSkinBuilder)
set(CPACK_PACKAGE_VENDOR "Kesto")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME KestoSkinBuilder-${PROJECT_VERSION}-${KSB_PACKAGE_SYSTEM})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(CPack)
