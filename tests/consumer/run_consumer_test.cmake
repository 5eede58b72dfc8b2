# Installs the package into a fresh prefix, builds the consumer project against it alone and
# runs its two hosts: the consumer must print the values of its formula, the show host the same
# slot rows as the installed `zrsignal run --print csv`. Then moves the prefix and runs the
# installed zrsignal from its new place: it finds its libraries, the signal plug-in and its show
# commands relative to itself.
function(run what)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${what} failed (${result}):\n${output}")
    endif()
    set(output "${output}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${ZR_WORK_DIR})
set(prefix ${ZR_WORK_DIR}/prefix)
run("Installing the package" ${CMAKE_COMMAND} --install ${ZR_BUILD_DIR} --prefix ${prefix} --component zrparser)
run("Configuring the consumer" ${CMAKE_COMMAND} -S ${ZR_CONSUMER_SOURCE_DIR} -B ${ZR_WORK_DIR}/build
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
    -DCMAKE_CXX_COMPILER=${ZR_CXX_COMPILER} -DCMAKE_BUILD_TYPE=${ZR_BUILD_TYPE}
    "-DCMAKE_CXX_FLAGS=${ZR_CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${ZR_EXE_LINKER_FLAGS}")
run("Building the consumer" ${CMAKE_COMMAND} --build ${ZR_WORK_DIR}/build)
# The consumer loads the installed module without touching any registry file.
run("Running the consumer" ${CMAKE_COMMAND} -E env ZR_REGISTRY=${ZR_WORK_DIR}/registry ${ZR_WORK_DIR}/build/consumer)
if(NOT output MATCHES "^module: ${prefix}/[^\n]*/ZrSignalPlugin.so\ncounter\\(0, 3, 1\\) \\* 10: 10 20 30 0 10\n$")
    message(FATAL_ERROR "Unexpected consumer output:\n${output}")
endif()
if(EXISTS ${ZR_WORK_DIR}/registry)
    message(FATAL_ERROR "The consumer wrote a registry file")
endif()

# The show host runs ten frames of the example show through the installed ZrShow and prints the
# rows that the installed zrsignal prints for them.
foreach(host show_host zrsignal)
    if(host STREQUAL show_host)
        set(command ${ZR_WORK_DIR}/build/show_host ${ZR_EXAMPLE_SHOW})
    else()
        set(command ${prefix}/bin/zrsignal run ${ZR_EXAMPLE_SHOW} --clock sim --frames 10 --print csv)
    endif()
    execute_process(COMMAND ${CMAKE_COMMAND} -E env ZR_REGISTRY=${ZR_WORK_DIR}/registry ${command}
        RESULT_VARIABLE result OUTPUT_VARIABLE rows_${host} ERROR_VARIABLE errors)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "${host} failed (${result}):\n${errors}")
    endif()
endforeach()
string(REGEX MATCHALL "\n" lines "${rows_show_host}")
list(LENGTH lines nbLines)
if(NOT rows_show_host STREQUAL rows_zrsignal OR NOT nbLines EQUAL 11)
    message(FATAL_ERROR "The show host's rows (${nbLines} lines) differ from zrsignal run's:\n"
        "${rows_show_host}\n---\n${rows_zrsignal}")
endif()

set(moved ${ZR_WORK_DIR}/moved)
file(RENAME ${prefix} ${moved})
run("Running the installed zrsignal eval" ${CMAKE_COMMAND} -E env ZR_REGISTRY=${ZR_WORK_DIR}/registry
    ${moved}/bin/zrsignal eval --frames 4 "counter(0, 2, 1) * 10")
if(NOT output STREQUAL "10\n20\n0\n10\n")
    message(FATAL_ERROR "Unexpected zrsignal eval output:\n${output}")
endif()
run("Running the installed zrsignal run" ${CMAKE_COMMAND} -E env ZR_REGISTRY=${ZR_WORK_DIR}/registry
    ${moved}/bin/zrsignal run ${ZR_EXAMPLE_SHOW} --clock sim --frames 1 --print csv)
if(NOT output MATCHES "^frame,universe,slot1,")
    message(FATAL_ERROR "Unexpected zrsignal run output:\n${output}")
endif()
run("Running the installed zrsignal list" ${CMAKE_COMMAND} -E env ZR_REGISTRY=${ZR_WORK_DIR}/registry
    ${moved}/bin/zrsignal list)
string(REGEX MATCHALL "\n" rows "${output}")
list(LENGTH rows nbRows)
if(NOT nbRows EQUAL 100 OR NOT output MATCHES "\tcounter\t")
    message(FATAL_ERROR "Unexpected zrsignal list output (${nbRows} rows):\n${output}")
endif()
