# orbitrace-render: the sketch picture drawn with cairo from stored values,
# on the same layout code as the plug-in, with its tests and the comparison
# against the DLL's clipboard picture under Wine.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(LIBPNG REQUIRED IMPORTED_TARGET libpng)
# The report's text: shaping, both directions, fontconfig's fallback.
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo)
find_package(ZLIB REQUIRED)
# Names compared in one Unicode normal form.
pkg_check_modules(UTF8PROC REQUIRED IMPORTED_TARGET libutf8proc)
# The health-record export: JSON by RapidJSON (header-only), name-based
# UUIDs by libuuid, base64 and URL escapes by GLib (already under Pango).
find_path(RAPIDJSON_INCLUDE_DIR rapidjson/writer.h REQUIRED)
pkg_check_modules(UUID REQUIRED IMPORTED_TARGET uuid)
pkg_check_modules(GLIB REQUIRED IMPORTED_TARGET glib-2.0)
# The health records sent straight to a server.
pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)

# The visit-history reader, from the file's bytes to checked rows: built
# into the renderer and, instrumented, into its fuzzer (cmake/Fuzz.cmake).
set(ORBT_HISTORY_READER_SOURCES
    orbitrace-render/sketch_values.cpp
    orbitrace-render/history/visit_date.cpp
    orbitrace-render/history/visit_history.cpp
    orbitrace-render/history/read_settings.cpp
    orbitrace-render/history/code_pages.cpp
    orbitrace-render/history/letter_languages.cpp
    orbitrace-render/history/text_decoder.cpp
    orbitrace-render/history/visit_row.cpp
    orbitrace-render/history/name_key.cpp
    orbitrace-render/history/csv_records.cpp
    orbitrace-render/history/visit_spool.cpp
    orbitrace-render/history/report_text.cpp)

# The visit history's computations: no cairo, unit-tested on their own.
add_library(orbt_history_pure STATIC
    ${ORBT_HISTORY_READER_SOURCES}
    orbitrace-render/history/flag_rules.cpp
    orbitrace-render/history/chart_points.cpp
    orbitrace-render/history/svg_inline.cpp)
target_link_libraries(orbt_history_pure PUBLIC orbt_pure PkgConfig::UTF8PROC)

find_package(Threads REQUIRED)

# The health-record export's resources: codes, identities and JSON, without
# drawing, unit-tested on their own.
set(ORBT_FHIR_SOURCES
    orbitrace-render/fhir/fhir_codes.cpp
    orbitrace-render/fhir/fhir_identity.cpp
    orbitrace-render/fhir/fhir_resources.cpp
    orbitrace-render/fhir/fhir_text.cpp
    orbitrace-render/fhir/retry_policy.cpp
    orbitrace-render/fhir/server_credentials.cpp)
add_library(orbt_fhir STATIC ${ORBT_FHIR_SOURCES})
target_include_directories(orbt_fhir PUBLIC ${RAPIDJSON_INCLUDE_DIR})
target_link_libraries(orbt_fhir PUBLIC orbt_history_pure PkgConfig::UUID
                      PkgConfig::GLIB)

# The drawing: the sketch picture with cairo, and the PNG encoder.
set(ORBT_RENDER_DRAW_SOURCES
    orbitrace-render/sketch_cairo.cpp
    orbitrace-render/colour_index.cpp
    orbitrace-render/png_writer.cpp
    orbitrace-render/svg_ids.cpp)
add_library(orbt_render_draw STATIC ${ORBT_RENDER_DRAW_SOURCES})
target_link_libraries(orbt_render_draw PUBLIC orbt_history_pure
                      PkgConfig::CAIRO PkgConfig::LIBPNG)

# The batch and the visit-history report: they return what happened and
# tell their progress through a Status they are given; they never print.
add_library(orbt_render_jobs STATIC
    orbitrace-render/output_file.cpp
    orbitrace-render/batch.cpp
    orbitrace-render/history/report_font.cpp
    orbitrace-render/history/history_chart.cpp
    orbitrace-render/history/history_report.cpp
    orbitrace-render/history/spool_start.cpp
    orbitrace-render/history/history_html.cpp
    orbitrace-render/history/history_pdf.cpp
    orbitrace-render/fhir/bundle_folder.cpp
    orbitrace-render/fhir/fhir_export.cpp
    orbitrace-render/fhir/http_client.cpp
    orbitrace-render/fhir/fhir_send.cpp)
target_link_libraries(orbt_render_jobs PUBLIC orbt_render_draw orbt_fhir
                      Threads::Threads PkgConfig::PANGOCAIRO PkgConfig::CURL)

# The command line: its one table of commands, the terminal status, and the
# benchmarks, which stand on the batch and the report.
add_library(orbt_render_cli STATIC
    orbitrace-render/render_cli.cpp
    orbitrace-render/status_printer.cpp
    orbitrace-render/seconds.cpp
    orbitrace-render/render_bench.cpp
    orbitrace-render/bench_steps.cpp
    orbitrace-render/history/history_bench.cpp
    orbitrace-render/fhir/fhir_bench.cpp)
target_link_libraries(orbt_render_cli PUBLIC orbt_render_jobs)

add_executable(orbitrace-render orbitrace-render/orbitrace_render.cpp)
target_link_libraries(orbitrace-render PRIVATE orbt_render_cli)

if(NOT BUILD_TESTING)
  return()
endif()

add_executable(renderer_tests
    tests/renderer/values_test.cpp
    tests/renderer/cli_test.cpp
    tests/renderer/vector_test.cpp
    tests/renderer/raster_test.cpp
    tests/renderer/history_input_test.cpp
    tests/renderer/code_page_table_test.cpp
    tests/renderer/history_flags_test.cpp
    tests/renderer/history_report_test.cpp
    tests/renderer/png_test.cpp
    tests/renderer/fhir_test.cpp)
target_link_libraries(renderer_tests PRIVATE orbt_render_cli ZLIB::ZLIB
                      GTest::gtest GTest::gtest_main)
add_test(NAME native.renderer COMMAND renderer_tests)

# Compares two pictures pixel by pixel outside the hour labels' cells.
add_executable(compare_pictures tests/renderer/compare_pictures.cpp)
target_link_libraries(compare_pictures PRIVATE orbt_render_cli)

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

# The visit-history report in a real browser and as PDF pages, and a
# report split into pages followed by the browser, and the page on a
# phone's screen.
add_executable(check_report_picture tests/renderer/check_report_picture.cpp)
target_link_libraries(check_report_picture PRIVATE orbt_render_jobs)
foreach(format html pdf split phone)
  add_test(NAME native.history_${format}_pictures
    COMMAND ${CMAKE_SOURCE_DIR}/tests/renderer/history-pictures.sh ${format}
            ${CMAKE_CURRENT_BINARY_DIR}/history-${format}
            $<TARGET_FILE:orbitrace-render>
            $<TARGET_FILE:check_report_picture>)
  # Minutes beyond a run on a busy machine: only a hung browser meets it.
  set_tests_properties(native.history_${format}_pictures PROPERTIES TIMEOUT 900)
endforeach()

# The report checked by the tools of its readers' world: axe-core in the
# browser and html-validate on the web report, qpdf on the PDF (installed
# into tests/report, and from Debian, by the set-up).
add_test(NAME native.history_report_tools
  COMMAND ${CMAKE_SOURCE_DIR}/tests/report/report-check.sh
          ${CMAKE_CURRENT_BINARY_DIR}/report-tools $<TARGET_FILE:orbitrace-render>)
# Minutes beyond a run on a busy machine: only a hung browser meets it.
set_tests_properties(native.history_report_tools PROPERTIES TIMEOUT 900)

# The health-record export end to end, checked by FHIR's own validators
# (installed into tests/fhir by the set-up).
add_test(NAME native.fhir
  COMMAND ${CMAKE_SOURCE_DIR}/tests/fhir/fhir-check.sh
          ${CMAKE_CURRENT_BINARY_DIR}/fhir $<TARGET_FILE:orbitrace-render>)
set_tests_properties(native.fhir PROPERTIES TIMEOUT 1200)
# The same loaded into a FHIR engine (Medplum's router over its in-memory
# repository, installed beside the validators): what a server holds after
# the exports a clinic loads.
add_test(NAME native.fhir_engine
  COMMAND node ${CMAKE_SOURCE_DIR}/tests/fhir/engine.js
          ${CMAKE_CURRENT_BINARY_DIR}/fhir-engine $<TARGET_FILE:orbitrace-render>)
set_tests_properties(native.fhir_engine PROPERTIES TIMEOUT 600)
# The same sent straight to that engine over HTTP (tests/fhir/server.js,
# on 127.0.0.1, with the faults each row asks for): what the server holds
# after each run.
add_test(NAME native.fhir_send
  COMMAND node ${CMAKE_SOURCE_DIR}/tests/fhir/send.js
          ${CMAKE_CURRENT_BINARY_DIR}/fhir-send $<TARGET_FILE:orbitrace-render>)
set_tests_properties(native.fhir_send PROPERTIES TIMEOUT 600)
