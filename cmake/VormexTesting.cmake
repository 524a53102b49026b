find_package(GTest REQUIRED)
include(GoogleTest)

# vormex_add_test(<name> LABEL <label> SOURCES ... [LIBS ...] [GUI|NOQT] [LOCK <resource>])
# LOCK: tests sharing a resource never run at the same time (e.g. "xvfb" for the tests
# that start their own X server with scripts/xvfb-exec).
# GUI tests get a QApplication on the offscreen platform; the others a QCoreApplication
# when they link Qt, plain gtest_main otherwise.
function(vormex_add_test name)
    cmake_parse_arguments(T "GUI;NOQT" "LABEL;TIMEOUT;LOCK" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    vormex_warnings(${name})
    target_compile_definitions(${name} PRIVATE
        VORMEX_TESTDATA_DIR="${VORMEX_TESTDATA_DIR}"
        VORMEX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        VORMEX_PROGRAM_DIR="${VORMEX_PROGRAM_DIR}")
    if(T_NOQT)
        target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    elseif(T_GUI)
        target_link_libraries(${name} PRIVATE ${T_LIBS} vormex_test_gui_main GTest::gtest
                                              Qt6::Widgets Qt6::Test)
    else()
        target_link_libraries(${name} PRIVATE ${T_LIBS} vormex_test_core_main GTest::gtest
                                              Qt6::Core)
    endif()
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    # One value per property: a list value here would shift the properties after it.
    set(lock)
    if(T_LOCK)
        set(lock RESOURCE_LOCK ${T_LOCK})
    endif()
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        PROPERTIES LABELS "${T_LABEL}" TIMEOUT ${T_TIMEOUT}
                   ENVIRONMENT QT_QPA_PLATFORM=offscreen ${lock})
endfunction()
