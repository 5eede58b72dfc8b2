# zr_add_layer(<Name> OUTPUT <file name> [SHARED_ONLY] SOURCES <sources...> [DEPENDS <layers...>]
#              [PRIVATE_LIBS <libs...>])
#
# A layer of the library, in the folder that calls this: public headers in include/, sources
# in src/. Its sources are compiled once, as position-independent objects, and packaged twice:
#   <Name>Lib     a static library, for programs that carry the layer inside them;
#   <Name>Shared  lib<file name>.so, for hosts that load plug-in modules, so that a process
#                 holds one copy of the layer (one class table, one global memory);
#   <Name>Headers the public include directory, with the headers of the layers it depends on.
# SHARED_ONLY leaves the static library out: the host layers find the files installed beside
# them (the signal module) from where their own shared library lies.
# DEPENDS names lower layers; each package links the same package of those.
function(zr_add_layer name)
    cmake_parse_arguments(ARG "SHARED_ONLY" "OUTPUT" "SOURCES;DEPENDS;PRIVATE_LIBS" ${ARGN})

    add_library(${name}Headers INTERFACE)
    target_include_directories(${name}Headers INTERFACE
        $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}/include> $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
    # The public headers need C++20, also in projects that use the installed package.
    target_compile_features(${name}Headers INTERFACE cxx_std_20)

    add_library(${name}Objects OBJECT ${ARG_SOURCES})
    target_include_directories(${name}Objects PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/src)
    target_link_libraries(${name}Objects PRIVATE ${name}Headers ${ARG_PRIVATE_LIBS})
    zr_warnings(${name}Objects)

    set(packages Shared)
    if(NOT ARG_SHARED_ONLY)
        add_library(${name}Lib STATIC $<TARGET_OBJECTS:${name}Objects>)
        list(APPEND packages Lib)
    endif()
    add_library(${name}Shared SHARED $<TARGET_OBJECTS:${name}Objects>)
    foreach(package ${packages})
        target_link_libraries(${name}${package} PUBLIC ${name}Headers PRIVATE ${ARG_PRIVATE_LIBS})
    endforeach()
    foreach(lower ${ARG_DEPENDS})
        target_link_libraries(${name}Headers INTERFACE ${lower}Headers)
        target_link_libraries(${name}Objects PRIVATE ${lower}Headers)
        if(NOT ARG_SHARED_ONLY)
            target_link_libraries(${name}Lib PUBLIC ${lower}Lib)
        endif()
        target_link_libraries(${name}Shared PUBLIC ${lower}Shared)
    endforeach()
    set_target_properties(${name}Shared PROPERTIES
        OUTPUT_NAME ${ARG_OUTPUT}
        EXPORT_NAME ${ARG_OUTPUT}
        VERSION ${PROJECT_VERSION}
        SOVERSION ${PROJECT_VERSION_MAJOR}
        # Where it is installed, relative to the programs, also in the build tree.
        LIBRARY_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_LIBDIR})
    set_target_properties(${name}Headers PROPERTIES EXPORT_NAME ${ARG_OUTPUT}Headers)
    # The names an installed package gives, for projects inside this tree too.
    add_library(ZrParser::${ARG_OUTPUT} ALIAS ${name}Shared)
endfunction()
