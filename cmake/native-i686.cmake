# The native 32-bit build (preset native32): everything but the Windows parts, built for i686
# Linux with Debian's multilib compilers and the i686 module's floating point (SSE2, never
# x87; no contraction comes from the top-level flags), so it computes what that module does.
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
# A machine without the 32-bit runtime and start files learns which package brings them.
foreach(_fw_file libstdc++.so crt1.o)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -m32 -print-file-name=${_fw_file}
                    OUTPUT_VARIABLE _fw_found OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT IS_ABSOLUTE "${_fw_found}")
        message(FATAL_ERROR "The 32-bit ${_fw_file} of ${CMAKE_CXX_COMPILER} not found. Install the "
                            "Debian package g++-multilib (apt-get install g++-multilib), or run "
                            "scripts/install-deps.sh.")
    endif()
endforeach()
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
foreach(_fw_kind EXE SHARED MODULE)
    set(CMAKE_${_fw_kind}_LINKER_FLAGS_INIT "-m32")
endforeach()
