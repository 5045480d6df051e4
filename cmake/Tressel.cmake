# Each source folder is one library whose files are picked up by pattern, so that
# adding a reader or a command means adding files, not editing lists.
function(tressel_sources out)
    set(files)
    foreach(dir ${ARGN})
        file(GLOB_RECURSE found CONFIGURE_DEPENDS
             ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
        list(APPEND files ${found})
    endforeach()
    set(${out} ${files} PARENT_SCOPE)
endfunction()

# One GoogleTest executable per folder of tests; every test case becomes a CTest test.
function(tressel_test name)
    cmake_parse_arguments(T "QTAPP" "" "DIRS;LIBS" ${ARGN})
    tressel_sources(srcs ${T_DIRS})
    if(NOT srcs)
        return()
    endif()
    add_executable(${name} ${srcs} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
    target_compile_definitions(${name} PRIVATE
        TRESSEL_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
        TRESSEL_BINARY_DIR="${CMAKE_BINARY_DIR}")
    target_link_libraries(${name} PRIVATE ${T_LIBS} tressel_test_support GTest::gtest)
    if(T_QTAPP)
        # Widgets tests need a QApplication; the main makes one when this is set.
        target_compile_definitions(${name} PRIVATE TRESSEL_TEST_QT_APP)
        target_link_libraries(${name} PRIVATE Qt6::Widgets)
    endif()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
