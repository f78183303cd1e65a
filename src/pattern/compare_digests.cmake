# Runs this build's pattern_digest and another build's and fails unless they print the same.
# cmake -DNATIVE=... -DOTHER=... [-DWINE_RUN=.../wine-run.sh] -P compare_digests.cmake
# With WINE_RUN the other program is a Windows build's, run under Wine.
execute_process(COMMAND ${NATIVE} OUTPUT_VARIABLE native RESULT_VARIABLE native_rc)
execute_process(COMMAND ${WINE_RUN} ${OTHER} OUTPUT_VARIABLE other RESULT_VARIABLE other_rc)
string(REPLACE "\r" "" other "${other}")
if(NOT native_rc EQUAL 0 OR NOT other_rc EQUAL 0)
    message(FATAL_ERROR "pattern_digest failed: ${NATIVE} ${native_rc}, ${OTHER} ${other_rc}")
endif()
if(NOT native STREQUAL other)
    message(FATAL_ERROR "Pattern digests differ.\n${NATIVE}:\n${native}\n${OTHER}:\n${other}")
endif()
message(STATUS "Identical digests:\n${native}")
