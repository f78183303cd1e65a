# The AVX2 object may define ShadeSurface8 and nothing else: any other external symbol would
# be code the rest of the library could end up calling on a processor without AVX2.
execute_process(COMMAND ${NM} --defined-only --extern-only ${OBJECTS}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "nm failed on ${OBJECTS}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(found 0)
foreach(line IN LISTS lines)
    if(line MATCHES "ShadeSurface8")
        math(EXPR found "${found} + 1")
    elseif(NOT line STREQUAL "" AND NOT line MATCHES ":$")
        message(FATAL_ERROR "AVX2 code outside ShadeSurface8: ${line}")
    endif()
endforeach()
if(NOT found EQUAL 1)
    message(FATAL_ERROR "ShadeSurface8 not found once in ${OBJECTS}:\n${symbols}")
endif()
