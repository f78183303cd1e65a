# Release zips. In a Windows build folder (presets win32 and win64):
#   cmake --build build/win64 --target package
# makes build/win64/Frostweave-<version>-win64.zip (-win32.zip in build/win32); the
# whole release is scripts/package.sh. Each zip holds one folder, Frostweave\, that the
# user copies into the host's plug-in folder: the module, Prismcore.dll beside it (the
# module loads it from its own folder), the presets in FrostweaveSaves\ and the manual.
# Only the install rules of component "release" go into the zip.
if(NOT FW_WINDOWS)
    return()
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(FW_PACKAGE_ARCH win64)
    set(FW_PACKAGE_BITS 64)
else()
    set(FW_PACKAGE_ARCH win32)
    set(FW_PACKAGE_BITS 32)
endif()
set(FW_PACKAGE_FOLDER Frostweave)

# The module finds the presets and the manual through its own file name, so both files
# keep the names the build gives them.
install(FILES $<TARGET_FILE:frostweave> $<TARGET_FILE:prismcore>
        DESTINATION ${FW_PACKAGE_FOLDER} COMPONENT release)

configure_file(${CMAKE_SOURCE_DIR}/docs/install.txt.in
               ${CMAKE_BINARY_DIR}/package/INSTALL.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/package/INSTALL.txt
        DESTINATION ${FW_PACKAGE_FOLDER} COMPONENT release)

# Presets, the manual and its pictures are collected when the zip is made, so files added
# after configuring are packed too; FrostweaveSaves\ exists even when there are no presets.
install(CODE "set(FW_SOURCE_DIR \"${CMAKE_SOURCE_DIR}\")
              set(FW_PACKAGE_FOLDER \"${FW_PACKAGE_FOLDER}\")" COMPONENT release)
install(CODE [[
    set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${FW_PACKAGE_FOLDER}")
    file(MAKE_DIRECTORY "${root}/FrostweaveSaves")
    file(GLOB presets "${FW_SOURCE_DIR}/presets/*.fwv")
    if(presets)
        file(INSTALL ${presets} DESTINATION "${root}/FrostweaveSaves")
    endif()
    if(NOT EXISTS "${FW_SOURCE_DIR}/docs/frostweavedoc.html")
        message(FATAL_ERROR "docs/frostweavedoc.html is missing")
    endif()
    file(INSTALL "${FW_SOURCE_DIR}/docs/frostweavedoc.html" DESTINATION "${root}")
    file(GLOB extra "${FW_SOURCE_DIR}/docs/cli.md")
    if(extra)
        file(INSTALL ${extra} DESTINATION "${root}")
    endif()
    file(INSTALL "${FW_SOURCE_DIR}/docs/pictures" DESTINATION "${root}"
         FILES_MATCHING PATTERN "*.png" PATTERN "*.jpg")
]] COMPONENT release)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Frostweave)
set(CPACK_PACKAGE_VENDOR "The Frostweave developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Frostweave-${PROJECT_VERSION}-${FW_PACKAGE_ARCH})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Frostweave;release;/")
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
