set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
# A machine without the cross compiler learns which package brings it.
find_program(FW_MINGW_CXX x86_64-w64-mingw32-g++-posix)
if(NOT FW_MINGW_CXX)
    message(FATAL_ERROR "x86_64-w64-mingw32-g++-posix not found. Install the Debian package "
                        "g++-mingw-w64-x86-64 (apt-get install g++-mingw-w64-x86-64), or run "
                        "scripts/install-deps.sh.")
endif()
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
