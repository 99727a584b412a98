# libFuzzer targets under AddressSanitizer and UndefinedBehaviorSanitizer, and
# the native unit tests once more under the sanitizers. The fuzzers need
# clang's fuzzing runtime, so they are built by calling clang++ directly; the
# rest of the native build stays with the project's compiler.

find_program(ORBT_CLANGXX NAMES clang++-14 clang++)
if(NOT ORBT_CLANGXX)
  message(FATAL_ERROR
    "clang++ not found: the fuzz tests need clang 14 and libclang-rt-14-dev "
    "(apt-get install clang-14 libclang-rt-14-dev), or set ORBT_CLANGXX, "
    "or configure with -DORBT_FUZZING=OFF to leave them out.")
endif()

set(ORBT_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all)
set(ORBT_FUZZ_FLAGS
    -std=c++17 -g -O1 -fno-omit-frame-pointer -ffp-contract=off
    -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all)

# A probe at configure time, so a clang without the fuzzing runtime is
# reported here and not as a build failure later.
set(_probe ${CMAKE_BINARY_DIR}/fuzz/probe)
file(MAKE_DIRECTORY ${_probe})
file(WRITE ${_probe}/probe.cpp
  "#include <stddef.h>\n#include <stdint.h>\n"
  "extern \"C\" int LLVMFuzzerTestOneInput(const uint8_t *, size_t) "
  "{ return 0; }\n")
execute_process(
  COMMAND ${ORBT_CLANGXX} ${ORBT_FUZZ_FLAGS} probe.cpp -o probe
  WORKING_DIRECTORY ${_probe}
  RESULT_VARIABLE _probe_result
  ERROR_VARIABLE _probe_error)
if(NOT _probe_result EQUAL 0)
  message(FATAL_ERROR
    "${ORBT_CLANGXX} cannot link a libFuzzer target with ASan and UBSan "
    "(is libclang-rt-14-dev installed? -DORBT_FUZZING=OFF leaves the "
    "fuzzers out):\n${_probe_error}")
endif()

# Headers are not tracked one by one: any header of the tree may change.
file(GLOB_RECURSE ORBT_FUZZ_HEADERS CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/sketch/*.h ${CMAKE_SOURCE_DIR}/render/*.h
     ${CMAKE_SOURCE_DIR}/export/*.h ${CMAKE_SOURCE_DIR}/orbitrace-render/*.h)

# name: the target is fuzz_<name>, its entry point tests/fuzz/<name>_fuzz.cpp
# and its seeds tests/fuzz/corpus/<name>; max_len: the longest input worth
# trying; ARGN: the sources it tests, and flags for the libraries it uses
# (-I, -l and the like).
function(orbt_fuzzer name max_len)
  set(_ignore ${CMAKE_SOURCE_DIR}/tests/fuzz/sanitizer-ignore.txt)
  set(exe ${CMAKE_BINARY_DIR}/fuzz/${name}_fuzz)
  set(main ${CMAKE_SOURCE_DIR}/tests/fuzz/${name}_fuzz.cpp)
  set(sources ${main})
  set(libraries)
  foreach(src ${ARGN})
    if(src MATCHES "^-")
      list(APPEND libraries ${src})
    else()
      list(APPEND sources ${CMAKE_SOURCE_DIR}/${src})
    endif()
  endforeach()
  add_custom_command(
    OUTPUT ${exe}
    COMMAND ${ORBT_CLANGXX} ${ORBT_FUZZ_FLAGS} -fsanitize-ignorelist=${_ignore}
            -I${CMAKE_SOURCE_DIR} ${sources} ${libraries} -o ${exe}
    DEPENDS ${sources} ${ORBT_FUZZ_HEADERS} ${_ignore}
    COMMENT "Building fuzzer ${name}"
    VERBATIM)
  add_custom_target(fuzz_${name} ALL DEPENDS ${exe})

  # Each run starts from a fresh copy of the seeds in the build folder, so
  # libFuzzer never writes into the source tree.
  add_test(NAME fuzz.${name}
    COMMAND ${CMAKE_SOURCE_DIR}/tests/fuzz/run-fuzzer.sh ${exe}
            ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/${name}
            ${CMAKE_BINARY_DIR}/fuzz/work/${name} 15 -max_len=${max_len})
  set_tests_properties(fuzz.${name} PROPERTIES TIMEOUT 180)
endfunction()

# Parameters beyond 255 bytes only show the cut; a DIB needs room for a
# 1024-byte colour table and more.
orbt_fuzzer(parameter 512 sketch/parameter_fields.cpp)
orbt_fuzzer(layout 512 render/number_text.cpp render/cup_layout.cpp
            render/ring_layout.cpp)
orbt_fuzzer(dib 4096 export/dib_header.cpp)
# The visit-history reader whole: character sets, separators, quoting, line
# ends, dates and rows (the first byte can repeat an input past the limit
# of a record), and the health-record export of what it reads. Their
# sources are listed with the renderer's; the export links its drawing,
# though it draws nothing here.
if(ORBT_RENDERER)
  file(GLOB _render_pure CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
       ${CMAKE_SOURCE_DIR}/render/*.cpp)
  list(FILTER _render_pure EXCLUDE REGEX "_win\\.cpp$")
  orbt_fuzzer(history 4096 ${ORBT_HISTORY_READER_SOURCES}
              sketch/value_lists.cpp sketch/value_selection.cpp
              ${ORBT_FHIR_SOURCES} orbitrace-render/fhir/fhir_export.cpp
              orbitrace-render/fhir/bundle_folder.cpp
              orbitrace-render/history/spool_start.cpp
              orbitrace-render/output_file.cpp
              ${ORBT_RENDER_DRAW_SOURCES} ${_render_pure}
              -I${RAPIDJSON_INCLUDE_DIR} ${GLIB_CFLAGS} ${CAIRO_CFLAGS}
              ${LIBPNG_CFLAGS} -lutf8proc ${UUID_LDFLAGS} ${GLIB_LDFLAGS}
              ${CAIRO_LDFLAGS} ${LIBPNG_LDFLAGS} -lpthread)
endif()

# The unit tests with the project's compiler and the sanitizers, the pure
# sources compiled into the test program so they are instrumented too.
list(TRANSFORM ORBT_PURE_SOURCES PREPEND ${CMAKE_SOURCE_DIR}/
     OUTPUT_VARIABLE _pure_sources)
add_executable(unit_tests_sanitized ${ORBT_UNIT_TEST_SOURCES} ${_pure_sources})
target_include_directories(unit_tests_sanitized PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_options(unit_tests_sanitized PRIVATE ${ORBT_SANITIZE}
                       -fno-omit-frame-pointer)
target_link_options(unit_tests_sanitized PRIVATE ${ORBT_SANITIZE})
target_link_libraries(unit_tests_sanitized PRIVATE GTest::gtest
                      GTest::gtest_main)
add_test(NAME native.unit_sanitized COMMAND unit_tests_sanitized)
set_tests_properties(native.unit_sanitized PROPERTIES
  ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0;UBSAN_OPTIONS=print_stacktrace=1")
