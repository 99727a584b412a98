# The Win32 test programs, each in one line: its sources (tests/wine/<name>.cpp
# unless SOURCES says otherwise), what it links beyond GoogleTest and the
# stand-in host's library, and the Wine environments it runs in. Included by
# both builds: the cross build makes the programs, the native one runs them.
#   PLUGIN   the plug-in's code and resources linked in, to drive its dialog
#            and read its state (the others load the built Orbitrace.fmx)
#   OWN_MAIN the test has a main of its own

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
