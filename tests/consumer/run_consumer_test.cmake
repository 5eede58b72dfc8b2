# Installs the package into a fresh prefix, builds the consumer project against it alone and
# runs the consumer, which must print the values of its formula. Then moves the prefix and runs
# the installed zrsignal from its new place: it finds its libraries and the signal plug-in
# relative to itself.
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

set(moved ${ZR_WORK_DIR}/moved)
file(RENAME ${prefix} ${moved})
run("Running the installed zrsignal eval" ${CMAKE_COMMAND} -E env ZR_REGISTRY=${ZR_WORK_DIR}/registry
    ${moved}/bin/zrsignal eval --frames 4 "counter(0, 2, 1) * 10")
if(NOT output STREQUAL "10\n20\n0\n10\n")
    message(FATAL_ERROR "Unexpected zrsignal eval output:\n${output}")
endif()
run("Running the installed zrsignal list" ${CMAKE_COMMAND} -E env ZR_REGISTRY=${ZR_WORK_DIR}/registry
    ${moved}/bin/zrsignal list)
string(REGEX MATCHALL "\n" rows "${output}")
list(LENGTH rows nbRows)
if(NOT nbRows EQUAL 100 OR NOT output MATCHES "\tcounter\t")
    message(FATAL_ERROR "Unexpected zrsignal list output (${nbRows} rows):\n${output}")
endif()
