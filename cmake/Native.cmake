include(ExternalProject)

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
    -DBUILD_TESTING=${BUILD_TESTING}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  DEPENDS bitmaps)

if(BUILD_TESTING)
  find_package(GTest REQUIRED)
  add_executable(unit_tests ${ORBT_UNIT_TEST_SOURCES})
  target_link_libraries(unit_tests PRIVATE orbt_pure GTest::gtest
                        GTest::gtest_main)
  add_test(NAME native.unit COMMAND unit_tests)

  # Win32 programs run under Wine, each environment on one Xvfb and one
  # persistent wineserver with a prefix of its own under the build folder,
  # started once for the whole run. "wine" is the display we build on (24
  # bits, 96 dpi); the others are displays clinics have: 16 and 8 bits (a
  # palette), and 125 % and 150 % scaling (120 and 144 dpi).
  set(ORBT_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
  set(ORBT_WIN32_ENV
      "ORBT_PLUGIN=Z:${ORBT_WIN32_DIR}/Orbitrace.fmx;ORBT_HOST=Z:${ORBT_WIN32_DIR}/fmhost.exe")

  # Tests in one environment share its display, so they take turns; tests in
  # different environments may run side by side.
  function(orbt_wine_env env depth dpi)
    set(state ${CMAKE_BINARY_DIR}/${env})
    # A 24-bit X display has 32 bits per pixel.
    set(bits ${depth})
    if(depth EQUAL 24)
      set(bits 32)
    endif()
    set(ORBT_ENV_${env} "${bits};${dpi}" PARENT_SCOPE)
    add_test(NAME ${env}.start COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wine-env.sh
             start ${state} ${depth} ${dpi})
    set_tests_properties(${env}.start PROPERTIES FIXTURES_SETUP ${env}
                         RESOURCE_LOCK ${env})
    add_test(NAME ${env}.stop COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/wine-env.sh
             stop ${state})
    set_tests_properties(${env}.stop PROPERTIES FIXTURES_CLEANUP ${env}
                         RESOURCE_LOCK ${env})
  endfunction()

  # A test in an environment: `env`.`name`, running COMMAND... there.
  function(orbt_wine_add env name)
    list(GET ORBT_ENV_${env} 0 bits)
    list(GET ORBT_ENV_${env} 1 dpi)
    add_test(NAME ${env}.${name} COMMAND ${ARGN})
    set_tests_properties(${env}.${name} PROPERTIES
      FIXTURES_REQUIRED ${env}
      RESOURCE_LOCK ${env}
      ENVIRONMENT "${ORBT_WIN32_ENV};ORBT_EXPECT_BITS=${bits};ORBT_EXPECT_DPI=${dpi}")
  endfunction()

  orbt_wine_env(wine 24 96)
  orbt_wine_env(wine16 16 96)
  orbt_wine_env(wine8 8 96)
  orbt_wine_env(wine120 24 120)
  orbt_wine_env(wine144 24 144)
  include(tests/wine/suites.cmake)

  orbt_wine_add(wine fmhost_cli ${CMAKE_SOURCE_DIR}/tests/wine/fmhost-cli.sh
                ${ORBT_WINE_STATE} ${ORBT_WIN32_DIR})

  add_test(NAME win32.imports
    COMMAND ${CMAKE_SOURCE_DIR}/tests/check-dll.sh ${ORBT_WIN32_DIR}/Orbitrace.fmx)
  add_test(NAME win32.instructions
    COMMAND ${CMAKE_SOURCE_DIR}/tests/check-instructions.sh
            ${ORBT_WIN32_DIR}/Orbitrace.fmx)

  # Each check of the built DLL rejects a stored input holding what it exists
  # to catch (tests/known-bad/), and names it: <check>.rejects.<what>.
  function(orbt_check_rejects name check input)
    add_test(NAME ${name}
      COMMAND ${CMAKE_SOURCE_DIR}/tests/expect-rejection.sh
              ${CMAKE_SOURCE_DIR}/tests/${check}
              ${CMAKE_SOURCE_DIR}/tests/known-bad/${input} ${ARGN})
  endfunction()
  set(ORBT_NEWER_INSTRUCTIONS Cmov Fcmov Fcomi Fucomip Rdtsc Cpuid Cmpxchg8b
      Sysenter Emms MmxRegister XmmRegister Ldmxcsr LongNop)
  list(TRANSFORM ORBT_NEWER_INSTRUCTIONS REPLACE "(.+)" "^ +1 _Uses\\1$")
  orbt_check_rejects(win32.instructions.rejects.newer_than_i486 check-instructions.sh
      newer-instructions.dis ${ORBT_NEWER_INSTRUCTIONS})
  orbt_check_rejects(win32.imports.rejects.tls_and_msvcrt check-dll.sh
      runtime-and-tls.dump "^FAIL: TLS directory" "^FAIL: imports msvcrt\\.dll"
      "^FAIL: static constructor list")
  orbt_check_rejects(win32.imports.rejects.unlisted check-dll.sh late-imports.dump
      "^  user32\\.dll GetAncestor$" "^  kernel32\\.dll IsDebuggerPresent$")
  orbt_check_rejects(win32.imports.rejects.too_new check-dll.sh late-imports.dump
      "^  user32\\.dll GetAncestor needs 98/NT5\\.0$"
      "^  kernel32\\.dll IsDebuggerPresent needs 98/NT4\\.0$")
  set_tests_properties(win32.imports.rejects.too_new PROPERTIES ENVIRONMENT
      "ORBT_PLUGIN_IMPORTS=${CMAKE_SOURCE_DIR}/tests/known-bad/late-imports.txt")

  # Inside a path bracket the plug-in calls only what Windows 95, 98 and ME
  # record in a path.
  add_test(NAME native.paths
    COMMAND ${CMAKE_SOURCE_DIR}/tests/check-paths.sh ${CMAKE_SOURCE_DIR}/host
            ${CMAKE_SOURCE_DIR}/sketch ${CMAKE_SOURCE_DIR}/dialog
            ${CMAKE_SOURCE_DIR}/render ${CMAKE_SOURCE_DIR}/export)
  orbt_check_rejects(native.paths.rejects.ellipse check-paths.sh
      ellipse-in-path.cpp "ellipse-in-path\\.cpp:9: Ellipse$"
      "ellipse-in-path\\.cpp:10: AddOutline$")

  # The project's files (the plug-in, the stand-in host, orbitrace-render)
  # include and call one another without a circle; the calls are read from
  # the objects of both builds.
  add_test(NAME native.layering
    COMMAND ${CMAKE_SOURCE_DIR}/tests/check-includes.sh ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR})
  # Two objects that call each other, though neither includes the other.
  add_test(NAME native.layering.rejects.call_cycle
    COMMAND ${CMAKE_SOURCE_DIR}/tests/expect-rejection.sh
            -a ${CMAKE_SOURCE_DIR}/tests/known-bad/call-cycle/objects
            ${CMAKE_SOURCE_DIR}/tests/check-includes.sh
            ${CMAKE_SOURCE_DIR}/tests/known-bad/call-cycle
            "^FAIL: the project's files call one another in a circle"
            "^  render/redraw -> sketch/state: ReadState\\(int\\)$"
            "^  sketch/state -> render/redraw: Redraw\\(int\\)$")
endif()

# The native renderer, and the fuzzers with the sanitized unit tests: parts
# a machine without cairo or without clang's fuzzing runtime can leave out
# and still build and test the plug-in.
option(ORBT_RENDERER "orbitrace-render and its tests (cairo)" ON)
option(ORBT_FUZZING "fuzzers and sanitized unit tests (clang, libclang-rt)" ON)
if(ORBT_RENDERER)
  include(cmake/Renderer.cmake)
  install(TARGETS orbitrace-render RUNTIME DESTINATION bin)
endif()
if(BUILD_TESTING AND ORBT_FUZZING)
  include(cmake/Fuzz.cmake)
endif()

# The plug-in goes to the host's plug-in folder on the Windows machine;
# installed here beside its documentation for copying there.
install(FILES ${ORBT_WIN32_DIR}/Orbitrace.fmx DESTINATION share/orbitrace)
