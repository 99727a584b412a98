# The Win32 test programs, each in one line: its sources (tests/wine/<name>.cpp
# unless SOURCES says otherwise), what it links beyond GoogleTest and the
# stand-in host's library, and the Wine environments it runs in. Included by
# both builds: the cross build makes the programs, the native one runs them.
#   PLUGIN   the plug-in's code and resources linked in, to drive its dialog
#            and read its state (the others load the built Orbitrace.fmx)
#   OWN_MAIN the test has a main of its own

# One Win32 test program: made by the cross build, run by the native one in
# each of its environments (orbt_wine_add, cmake/Native.cmake).
function(orbt_win32_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PLUGIN;OWN_MAIN" "" "SOURCES;LINK;ENVS")
  if(NOT WIN32)
    foreach(env ${arg_ENVS})
      orbt_wine_add(${env} ${name} ${CMAKE_SOURCE_DIR}/tests/wine/run-wine.sh
                    ${CMAKE_BINARY_DIR}/${env} ${ORBT_WIN32_DIR}/${name}.exe)
    endforeach()
    return()
  endif()
  set(sources ${arg_SOURCES})
  if(NOT sources)
    set(sources tests/wine/${name}.cpp)
  endif()
  if(arg_PLUGIN)
    list(APPEND sources tests/wine/sketch_harness.cpp tests/wine/pixels.cpp
         $<TARGET_OBJECTS:orbt_plugin> $<TARGET_OBJECTS:orbt_resources>)
    list(APPEND arg_LINK orbt_pure)
  endif()
  add_executable(${name} ${sources})
  if(arg_OWN_MAIN)
    target_link_libraries(${name} PRIVATE gtest_win32)
  else()
    target_link_libraries(${name} PRIVATE gtest_main_win32)
  endif()
  target_link_libraries(${name} PRIVATE hostkit ${arg_LINK})
  target_link_options(${name} PRIVATE ${ORBT_STATIC_LINK})
endfunction()

# The unit tests again, by the cross compiler with the plug-in's flags: the
# layouts must give the same integers inside the DLL as natively.
orbt_win32_suite(unit_tests_win32 SOURCES ${ORBT_UNIT_TEST_SOURCES}
                 LINK orbt_pure ENVS wine)
orbt_win32_suite(resources_test LINK version ENVS wine)
orbt_win32_suite(hostkit_test ENVS wine)
orbt_win32_suite(dialog_script_test ENVS wine)
orbt_win32_suite(plugin_test LINK orbt_pure ENVS wine)
orbt_win32_suite(dialog_test PLUGIN ENVS wine)
# What depends on the display's geometry and colours runs on every display
# that changes them: the painting at every dpi, the clipboard picture at
# every dpi and depth.
orbt_win32_suite(paint_test PLUGIN ENVS wine wine120 wine144)
orbt_win32_suite(export_test PLUGIN ENVS wine wine16 wine8 wine120 wine144)
orbt_win32_suite(faults_test OWN_MAIN SOURCES tests/wine/faults_test.cpp
                 tests/wine/pixels.cpp ENVS wine)
orbt_win32_suite(load_test LINK psapi ENVS wine)
