# The AVX2 objects may define ShadeSurface8 and SixteenSampleSpan8 and nothing else: any other
# external symbol would be code the rest of the library could end up calling on a processor
# without AVX2.
file(GLOB OBJECTS ${OBJECT_DIR}/*.o ${OBJECT_DIR}/*.obj)
list(LENGTH OBJECTS count)
if(NOT count EQUAL 2)
    message(FATAL_ERROR "expected the two AVX2 objects in ${OBJECT_DIR}, found: ${OBJECTS}")
endif()
execute_process(COMMAND ${NM} --defined-only --extern-only ${OBJECTS}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "nm failed on ${OBJECTS}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${symbols}")
set(found 0)
foreach(line IN LISTS lines)
    if(line MATCHES "ShadeSurface8|SixteenSampleSpan8")
        math(EXPR found "${found} + 1")
    elseif(line MATCHES " __x86\\.get_pc_thunk\\.[a-z]+$")
        # i686 position-independent code loads its address with this two-instruction helper
        # (no vector code), of which the linker keeps one copy.
    elseif(NOT line STREQUAL "" AND NOT line MATCHES ":$")
        message(FATAL_ERROR "AVX2 code outside the wide entry points: ${line}")
    endif()
endforeach()
if(NOT found EQUAL 2)
    message(FATAL_ERROR "ShadeSurface8 and SixteenSampleSpan8 not found in ${OBJECTS}:\n${symbols}")
endif()
