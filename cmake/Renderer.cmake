# orbitrace-render: the sketch picture drawn with cairo from stored values,
# on the same layout code as the plug-in, with its tests and the comparison
# against the DLL's clipboard picture under Wine.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
find_package(ZLIB REQUIRED)
find_package(Threads REQUIRED)

add_library(orbt_sketch_cairo STATIC
    orbitrace-render/sketch_cairo.cpp
    orbitrace-render/colour_index.cpp
    orbitrace-render/png_writer.cpp
    orbitrace-render/render_cli.cpp
    orbitrace-render/render_bench.cpp)
target_link_libraries(orbt_sketch_cairo PUBLIC orbt_pure PkgConfig::CAIRO
                      PkgConfig::LIBPNG Threads::Threads)

add_executable(orbitrace-render orbitrace-render/orbitrace_render.cpp)
target_link_libraries(orbitrace-render PRIVATE orbt_sketch_cairo)

add_executable(renderer_tests
    tests/renderer/values_test.cpp
    tests/renderer/cli_test.cpp
    tests/renderer/vector_test.cpp
    tests/renderer/raster_test.cpp
    tests/renderer/png_test.cpp)
target_link_libraries(renderer_tests PRIVATE orbt_sketch_cairo ZLIB::ZLIB
                      GTest::gtest GTest::gtest_main)
add_test(NAME native.renderer COMMAND renderer_tests)

# Compares two pictures pixel by pixel outside the hour labels' cells.
add_executable(compare_pictures tests/renderer/compare_pictures.cpp)
target_link_libraries(compare_pictures PRIVATE orbt_sketch_cairo)

add_test(NAME wine.renderer_matches_dll
  COMMAND ${CMAKE_SOURCE_DIR}/tests/renderer/compare-with-dll.sh
          ${ORBT_WINE_STATE} ${CMAKE_CURRENT_BINARY_DIR}/renderer-vs-dll
          $<TARGET_FILE:orbitrace-render> $<TARGET_FILE:compare_pictures>)
set_tests_properties(wine.renderer_matches_dll PROPERTIES
  FIXTURES_REQUIRED wine
  RESOURCE_LOCK display
  ENVIRONMENT "ORBT_PLUGIN=Z:${ORBT_WIN32_DIR}/Orbitrace.fmx;ORBT_HOST=${ORBT_WIN32_DIR}/fmhost.exe;ORBT_RUN_WINE=${CMAKE_SOURCE_DIR}/tests/wine/run-wine.sh")
