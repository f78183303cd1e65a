# Runs the native and the Windows pattern_digest and fails unless they print the same.
# cmake -DNATIVE=... -DWINDOWS=...exe -DWINE_RUN=.../wine-run.sh -P compare_digests.cmake
execute_process(COMMAND ${NATIVE} OUTPUT_VARIABLE native RESULT_VARIABLE native_rc)
execute_process(COMMAND ${WINE_RUN} ${WINDOWS} OUTPUT_VARIABLE windows RESULT_VARIABLE windows_rc)
string(REPLACE "\r" "" windows "${windows}")
if(NOT native_rc EQUAL 0 OR NOT windows_rc EQUAL 0)
    message(FATAL_ERROR "pattern_digest failed: native ${native_rc}, Windows ${windows_rc}")
endif()
if(NOT native STREQUAL windows)
    message(FATAL_ERROR "Pattern digests differ.\nNative:\n${native}\nWindows:\n${windows}")
endif()
message(STATUS "Identical digests:\n${native}")
