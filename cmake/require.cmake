# A missing dependency of a part we ship stops the configure and says what to install;
# nothing is left out quietly. Optional parts are switched off by their options only.

# Stops the configure: `what` is missing, `package` is the Debian package that brings it.
function(fw_missing what package)
    message(FATAL_ERROR "${what} not found. Install the Debian package ${package} "
                        "(apt-get install ${package}), or run scripts/install-deps.sh.")
endfunction()

# find_package(<name>) that names the Debian package when the library is missing.
macro(fw_find_package name package)
    find_package(${name} ${ARGN})
    if(NOT ${name}_FOUND)
        fw_missing("${name}" "${package}")
    endif()
endmacro()

# A folder holding `header`, searched in `paths` (kept in the cache variable `var`, which
# may be set by hand); the configure stops naming `package` when it is not there.
function(fw_require_header var header package)
    find_path(${var} ${header} PATHS ${ARGN} NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ${var} OR NOT EXISTS "${${var}}/${header}")
        fw_missing("${header} (looked in '${${var}}')" "${package}")
    endif()
endfunction()

# A program the tests run; stops naming `package` when it is not installed.
function(fw_require_program var package)
    find_program(${var} NAMES ${ARGN} PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
    if(NOT ${var})
        fw_missing("${ARGV2}" "${package}")
    endif()
endfunction()
