# The Windows-only pieces, all free of Qt: the COM back end (src/cad/com, added by
# src/cad), the platform services (src/app/win) and their tests. The cross build with
# mingw-w64 and its run under Wine: scripts/test-windows-backend.

# Where GoogleTest's sources are when no installed GoogleTest is found (Debian's
# googletest package; a cross build compiles them itself).
set(VORMEX_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")

# Settings of every Windows-only target; call it after vormex_warnings().
function(vormex_windows_target target)
    target_compile_definitions(${target} PUBLIC
        NOMINMAX UNICODE _UNICODE WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        # COM interfaces have no virtual destructor by design: objects delete themselves
        # in Release.
        target_compile_options(${target} PRIVATE -Wno-non-virtual-dtor)
    endif()
endfunction()

# vormex_windows_program(<target> [GUI])
# For the programs on Windows: links the COM back end and the platform services, and
# makes a GUI program a windowed one (no console).
function(vormex_windows_program target)
    cmake_parse_arguments(P "GUI" "" "" ${ARGN})
    target_link_libraries(${target} PRIVATE vormex_cad_com vormex_app_win)
    if(P_GUI)
        set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    endif()
endfunction()

macro(vormex_windows_googletest)
    if(NOT TARGET GTest::gtest)
        find_package(GTest QUIET)
    endif()
    if(NOT TARGET GTest::gtest)
        set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
        # GoogleTest's own build names its targets GTest::gtest, GTest::gmock, ...
        add_subdirectory(${VORMEX_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    endif()
endmacro()

# vormex_add_windows_test(<name> LABEL <label> SOURCES ... [LIBS ...])
# One test per executable: under Wine each start costs more than all its cases.
function(vormex_add_windows_test name)
    cmake_parse_arguments(T "" "LABEL;TIMEOUT" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    vormex_warnings(${name})
    vormex_windows_target(${name})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest)
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT}
                                            ENVIRONMENT "LC_ALL=C.UTF-8")
endfunction()

macro(vormex_windows_parts)
    add_subdirectory(src/app/win)
    if(VORMEX_TESTS)
        enable_testing()
        vormex_windows_googletest()
        add_subdirectory(tests/cad/com)
        add_subdirectory(tests/app/win)
        add_subdirectory(tests/files)
    endif()
endmacro()
