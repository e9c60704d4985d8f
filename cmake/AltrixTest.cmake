# altrix_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [GUI])
# Adds one GoogleTest executable and registers its tests with CTest.
# GUI tests get a QApplication (tests/support) and run on Qt's offscreen platform with the
# screens of tests/support/offscreen-screens.json, so they need no display.
function(altrix_add_test)
  cmake_parse_arguments(T "GUI" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${T_NAME} PRIVATE ALTRIX_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data")
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support)
  set(env "")
  if(T_GUI)
    target_link_libraries(${T_NAME} PRIVATE altrix_test_qt_application)
    # Two screens side by side, as a desktop has, for the window's geometry.
    list(APPEND env QT_QPA_PLATFORM=offscreen:configfile=${PROJECT_SOURCE_DIR}/tests/support/offscreen-screens.json)
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
