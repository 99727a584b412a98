# orbitrace-render: the sketch picture drawn with cairo from stored values,
# on the same layout code as the plug-in, with its tests and the comparison
# against the DLL's clipboard picture under Wine.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
find_package(ZLIB REQUIRED)

add_library(orbt_sketch_cairo STATIC
    orbitrace-render/sketch_cairo.cpp
    orbitrace-render/render_cli.cpp)
target_link_libraries(orbt_sketch_cairo PUBLIC orbt_pure PkgConfig::CAIRO)

add_executable(orbitrace-render orbitrace-render/orbitrace_render.cpp)
target_link_libraries(orbitrace-render PRIVATE orbt_sketch_cairo)

add_executable(renderer_tests
    tests/renderer/values_test.cpp
    tests/renderer/cli_test.cpp
    tests/renderer/vector_test.cpp
    tests/renderer/raster_test.cpp)
target_link_libraries(renderer_tests PRIVATE orbt_sketch_cairo ZLIB::ZLIB
                      GTest::gtest GTest::gtest_main)
add_test(NAME native.renderer COMMAND renderer_tests)

# Compares two pictures pixel by pixel outside the hour labels' cells.
add_executable(compare_pictures tests/renderer/compare_pictures.cpp)
target_link_libraries(compare_pictures PRIVATE orbt_sketch_cairo)

# The renderer against the plug-in at every dpi: the sketch area's size and
# the dialog's font change with it.
foreach(env wine wine120 wine144)
  orbt_wine_add(${env} renderer_matches_dll
    ${CMAKE_SOURCE_DIR}/tests/renderer/compare-with-dll.sh
    ${CMAKE_BINARY_DIR}/${env} ${CMAKE_CURRENT_BINARY_DIR}/renderer-vs-dll-${env}
    $<TARGET_FILE:orbitrace-render> $<TARGET_FILE:compare_pictures>)
  set_property(TEST ${env}.renderer_matches_dll APPEND PROPERTY ENVIRONMENT
    "ORBT_HOST=${ORBT_WIN32_DIR}/fmhost.exe;ORBT_RUN_WINE=${CMAKE_SOURCE_DIR}/tests/wine/run-wine.sh")
endforeach()
