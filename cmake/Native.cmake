include(ExternalProject)
find_package(GTest REQUIRED)

set(ORBT_UNIT_TEST_SOURCES
    tests/unit/parameter_fields_test.cpp
    tests/unit/value_lists_test.cpp
    tests/unit/centring_test.cpp
    tests/unit/disc_layout_test.cpp
    tests/unit/cup_layout_test.cpp
    tests/unit/ring_layout_test.cpp
    tests/unit/capture_rect_test.cpp
    tests/unit/dib_header_test.cpp)
add_executable(unit_tests ${ORBT_UNIT_TEST_SOURCES})
target_link_libraries(unit_tests PRIVATE orbt_pure GTest::gtest GTest::gtest_main)
add_test(NAME native.unit COMMAND unit_tests)

# The step-button and tool-strip bitmaps are generated, not drawn by hand.
add_executable(make_bitmaps resources/make_bitmaps.cpp)
set(ORBT_BITMAP_DIR ${CMAKE_BINARY_DIR}/bitmaps)
add_custom_command(
  OUTPUT ${ORBT_BITMAP_DIR}/step_up.bmp ${ORBT_BITMAP_DIR}/step_down.bmp
         ${ORBT_BITMAP_DIR}/tool_strip.bmp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORBT_BITMAP_DIR}
  COMMAND make_bitmaps ${ORBT_BITMAP_DIR}
  DEPENDS make_bitmaps
  COMMENT "Generating the plug-in's bitmaps")
add_custom_target(bitmaps ALL DEPENDS ${ORBT_BITMAP_DIR}/step_up.bmp)

set(ORBT_WIN32_DIR ${CMAKE_BINARY_DIR}/win32)
ExternalProject_Add(win32
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${ORBT_WIN32_DIR}
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
    -DORBT_BITMAP_DIR=${ORBT_BITMAP_DIR}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  DEPENDS bitmaps)

# Win32 programs run under Wine on one Xvfb and one persistent wineserver,
# started once for the whole run with a prefix under the build folder.
set(ORBT_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
set(ORBT_RUN_WINE ${CMAKE_SOURCE_DIR}/tests/wine/run-wine.sh ${ORBT_WINE_STATE})
add_test(NAME wine.start
  COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wine-env.sh start ${ORBT_WINE_STATE})
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
add_test(NAME wine.stop
  COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wine-env.sh stop ${ORBT_WINE_STATE})
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)

function(orbt_wine_test name)
  add_test(NAME wine.${name}
    COMMAND ${ORBT_RUN_WINE} ${ORBT_WIN32_DIR}/${name}.exe ${ARGN})
  set_tests_properties(wine.${name} PROPERTIES
    FIXTURES_REQUIRED wine
    RESOURCE_LOCK display
    ENVIRONMENT "ORBT_PLUGIN=Z:${ORBT_WIN32_DIR}/Orbitrace.fmx;ORBT_HOST=Z:${ORBT_WIN32_DIR}/fmhost.exe")
endfunction()

# The same unit tests, built by the cross compiler with the plug-in's flags:
# the layouts must give the same integers inside the DLL as natively.
orbt_wine_test(unit_tests_win32)
orbt_wine_test(resources_test)
orbt_wine_test(hostkit_test)
orbt_wine_test(plugin_test)
orbt_wine_test(dialog_test)
orbt_wine_test(paint_test)
orbt_wine_test(export_test)
orbt_wine_test(faults_test)
orbt_wine_test(load_test)

add_test(NAME wine.fmhost_cli
  COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/fmhost-cli.sh ${ORBT_WINE_STATE}
          ${ORBT_WIN32_DIR})
set_tests_properties(wine.fmhost_cli PROPERTIES
  FIXTURES_REQUIRED wine RESOURCE_LOCK display)

# The export again on a 16-bit display, in an environment of its own.
set(ORBT_WINE16_STATE ${CMAKE_BINARY_DIR}/wine16)
add_test(NAME wine16.start COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wine-env.sh
  start ${ORBT_WINE16_STATE} 16)
set_tests_properties(wine16.start PROPERTIES FIXTURES_SETUP wine16)
add_test(NAME wine16.stop COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wine-env.sh
  stop ${ORBT_WINE16_STATE})
set_tests_properties(wine16.stop PROPERTIES FIXTURES_CLEANUP wine16)
add_test(NAME wine16.export_test
  COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/run-wine.sh ${ORBT_WINE16_STATE}
          ${ORBT_WIN32_DIR}/export_test.exe)
set_tests_properties(wine16.export_test PROPERTIES
  FIXTURES_REQUIRED wine16 ENVIRONMENT "ORBT_EXPECT_BITS=16")

add_test(NAME win32.imports
  COMMAND ${CMAKE_SOURCE_DIR}/tests/check-dll.sh ${ORBT_WIN32_DIR}/Orbitrace.fmx)

# Fuzzing and sanitized unit tests, and the native renderer.
include(cmake/Fuzz.cmake)
include(cmake/Renderer.cmake)
