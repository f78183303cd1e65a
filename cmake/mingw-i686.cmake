set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
# A machine without the cross compiler learns which package brings it.
find_program(FW_MINGW_CXX i686-w64-mingw32-g++-posix)
if(NOT FW_MINGW_CXX)
    message(FATAL_ERROR "i686-w64-mingw32-g++-posix not found. Install the Debian package "
                        "g++-mingw-w64-i686 (apt-get install g++-mingw-w64-i686), or run "
                        "scripts/install-deps.sh.")
endif()
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# x87 would make the pattern differ from the 64-bit builds.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
