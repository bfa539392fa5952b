# The release packages, made with "cpack --config <build>/CPackConfig.cmake":
# a zip for Windows (x86_64 or i686), a .tar.gz for Linux. Unpacked into an
# empty folder each holds
#
#   KestoSkinBuilder(.exe)        the program
#   libKestoSkinBuilderWindow.so  its window (Linux)
#   KestoSkinCheck(.exe)          the checker
#   KestoSkinUnpack(.exe)         the unpacker
#   README(.txt)                  the skin authors' README (docs/authors-readme.txt;
#                                 Windows: .txt with CR LF, for Notepad)
#   writing-skins.html            the author's guide (docs/writing-skins.md) as
#                                 one offline page
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

# The documents are made when the package is packed, by docs/package_docs.py
# with Debian's python3-markdown (which the Python on PATH may not import). A
# guide whose "#anchor" link has no target fails the packing.
set(KSB_DOCS_PYTHON /usr/bin/python3 CACHE FILEPATH "The Python that makes the package's documents")
if(WIN32)
    set(KSB_DOCS_SYSTEM windows)
    set(KSB_README README.txt)
else()
    set(KSB_DOCS_SYSTEM linux)
    set(KSB_README README)
endif()
set(KSB_DOCS_SCRIPT ${PROJECT_SOURCE_DIR}/docs/package_docs.py)
install(CODE "
    set(to \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    file(MAKE_DIRECTORY \"\${to}\")
    execute_process(COMMAND \"${KSB_DOCS_PYTHON}\" \"${KSB_DOCS_SCRIPT}\" readme
            --system ${KSB_DOCS_SYSTEM} --version ${PROJECT_VERSION}
            \"${PROJECT_SOURCE_DIR}/docs/authors-readme.txt\" \"\${to}/${KSB_README}\"
        COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND \"${KSB_DOCS_PYTHON}\" \"${KSB_DOCS_SCRIPT}\" guide
            \"${PROJECT_SOURCE_DIR}/docs/writing-skins.md\" \"\${to}/writing-skins.html\"
        COMMAND_ERROR_IS_FATAL ANY)
")

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
