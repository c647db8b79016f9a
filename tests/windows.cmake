# The tests of the Windows build, run under wine through tools/wine-run.sh:
# the shared unit tests over the real Win32 API, with a hook in place of the
# Linux fake box; the start-up probe; the exe's imports and resources; the
# zip; and the program's end-to-end run.  One wine prefix and one Xvfb, in
# the build tree, serve the whole run (the fixture "wine").

# No GoogleTest package for mingw: Debian's sources, built with the tests.
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
include(GoogleTest)

set(wine_state ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/tools/wine-run.sh ${wine_state})

add_test(NAME wine_start COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --start)
add_test(NAME wine_stop COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} --stop)
set_tests_properties(wine_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_stop PROPERTIES FIXTURES_CLEANUP wine)

# win32_layer_test.cpp tests our Linux layer: not here.
add_executable(unit_tests
    box_hook_windows.cpp
    caption_test.cpp
    fp_guard_test.cpp
    messages_test.cpp
    move_test.cpp)
target_link_libraries(unit_tests PRIVATE quorlin_install_run gtest_main)
# Listed when the tests run, once the prefix is there.
gtest_discover_tests(unit_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    PROPERTIES FIXTURES_REQUIRED wine)

add_executable(fp_probe WIN32 fp_probe_windows.cpp ${PROJECT_SOURCE_DIR}/platform/start_windows.cpp)
add_test(NAME start_up_control_word COMMAND fp_probe)
set_tests_properties(start_up_control_word PROPERTIES
    FIXTURES_REQUIRED wine PASS_REGULAR_EXPRESSION "control word 0x1332")

add_test(NAME exe_imports_and_resources
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_exe_windows.sh $<TARGET_FILE:quorlin-install>
        ${CMAKE_OBJDUMP} ${PROJECT_SOURCE_DIR}/platform/quorlin-install.manifest ${PROJECT_VERSION})
add_test(NAME zip_for_windows
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/check_zip_windows.sh ${CMAKE_BINARY_DIR} $<TARGET_FILE:quorlin-install>)

add_executable(box_reader box_reader.cpp)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_test(NAME end_to_end_wine
        COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/end_to_end_wine.sh ${CMAKE_CROSSCOMPILING_EMULATOR}
            $<TARGET_FILE:quorlin-install> $<TARGET_FILE:box_reader>
            ${CMAKE_CURRENT_BINARY_DIR}/success-box.png)
    # Alone: box_reader takes the first box it finds.
    set_tests_properties(end_to_end_wine PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL TRUE)
endif()
