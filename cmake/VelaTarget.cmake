# Compile options shared by every target of our own code.
function(vela_target_defaults target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
    target_compile_definitions(${target} PRIVATE QT_NO_KEYWORDS)
endfunction()

# A static library of one subsystem: vela_library(name SOURCES ... LIBS ...)
function(vela_library name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_LIBS})
    vela_target_defaults(${name})
endfunction()

# A test executable of one subsystem: vela_test(name SOURCES ... LIBS ...)
function(vela_test name)
    cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    # LIBS names the test main: vela_testmain (widgets) or vela_testmain_core.
    target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock)
    vela_target_defaults(${name})
    if(NOT ARG_TIMEOUT)
        set(ARG_TIMEOUT 300)
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES TIMEOUT ${ARG_TIMEOUT} ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# A shared module of the scanner layer that the installed program loads from its library folder
# (the source manager, the global memory library): vela_library_module(target)
function(vela_library_module target)
    set_property(GLOBAL APPEND PROPERTY VELA_LIBRARY_MODULES ${target})
endfunction()

# A data source module installed into the sources folder of the library folder (never the test
# sources): vela_data_source(target)
function(vela_data_source target)
    set_property(GLOBAL APPEND PROPERTY VELA_DATA_SOURCES ${target})
endfunction()
