# The part the two mingw-w64 toolchain files share; they set FW_MINGW_ARCH (the processor)
# and FW_MINGW_PACKAGE (the Debian package of its cross compiler) first.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${FW_MINGW_ARCH})
set(_fw_triple ${FW_MINGW_ARCH}-w64-mingw32)
# A machine without the cross compiler learns which package brings it.
find_program(FW_MINGW_CXX ${_fw_triple}-g++-posix)
if(NOT FW_MINGW_CXX)
    message(FATAL_ERROR "${_fw_triple}-g++-posix not found. Install the Debian package "
                        "${FW_MINGW_PACKAGE} (apt-get install ${FW_MINGW_PACKAGE}), or run "
                        "scripts/install-deps.sh.")
endif()
set(CMAKE_C_COMPILER ${_fw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_fw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_fw_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_fw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
