# The Win32 test programs, each in one line: its sources (tests/wine/<name>.cpp
# unless SOURCES says otherwise), what it links beyond GoogleTest and the
# stand-in host's library, and the Wine environments it runs in. Included by
# both builds: the cross build makes the programs, the native one runs them.
#   PLUGIN   the plug-in's code and resources linked in, to drive its dialog
#            and read its state (the others load the built Orbitrace.fmx)
#   OWN_MAIN the test has a main of its own
#   LANGUAGES the languages in which its language test (DialogLanguageTest)
#            runs again, a process each, in each of LANGUAGE_ENVS: a locale
#            (de_DE) for the whole of Windows, or the user's over the
#            system's (ja_JP/en_US: a Japanese user on a Western system).
#            Wine takes Windows' languages from LC_MESSAGES and the code
#            page from LC_CTYPE. The default locale (English) is the full
#            run's.

# The language test of `name` in `env` with the languages of `spec` (see
# LANGUAGES below): `env`.`name`.de, `env`.`name`.ja-on-en.
function(orbt_language_run env name spec envs)
  string(REPLACE "/" ";" parts ${spec})
  list(GET parts 0 user)
  string(SUBSTRING ${user} 0 2 language)
  if(language STREQUAL "en" AND env IN_LIST envs)
    return()
  endif()
  set(settings "LC_ALL=${user}.UTF-8")
  list(LENGTH parts count)
  if(count EQUAL 2)
    list(GET parts 1 system)
    string(SUBSTRING ${system} 0 2 systemLanguage)
    set(language ${language}-on-${systemLanguage})
    set(settings "LC_ALL=" "LANG=${system}.UTF-8" "LC_MESSAGES=${user}.UTF-8")
  endif()
  set(test ${env}.${name}.${language})
  orbt_wine_add(${env} ${name}.${language} ${CMAKE_SOURCE_DIR}/tests/wine/run-wine.sh
                ${CMAKE_BINARY_DIR}/${env} ${ORBT_WIN32_DIR}/${name}.exe
                --gtest_filter=DialogLanguageTest.*)
  set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT ${settings}
               "LOCPATH=${CMAKE_BINARY_DIR}/locales" "ORBT_LANGUAGE=${language}")
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED locales)
endfunction()

# One Win32 test program: made by the cross build, run by the native one in
# each of its environments (orbt_wine_add, cmake/Native.cmake).
function(orbt_win32_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PLUGIN;OWN_MAIN" ""
                        "SOURCES;LINK;ENVS;LANGUAGES;LANGUAGE_ENVS")
  if(NOT WIN32)
    foreach(env ${arg_ENVS})
      orbt_wine_add(${env} ${name} ${CMAKE_SOURCE_DIR}/tests/wine/run-wine.sh
                    ${CMAKE_BINARY_DIR}/${env} ${ORBT_WIN32_DIR}/${name}.exe)
    endforeach()
    foreach(env ${arg_LANGUAGE_ENVS})
      foreach(spec ${arg_LANGUAGES})
        orbt_language_run(${env} ${name} ${spec} "${arg_ENVS}")
      endforeach()
    endforeach()
    # Made once for every suite's languages (see the end of this file).
    string(REPLACE "/" ";" locales "${arg_LANGUAGES}")
    set_property(GLOBAL APPEND PROPERTY ORBT_LOCALES ${locales})
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
# Again in German, where the language of Windows before 2000 and the user's
# differ.
orbt_win32_suite(plugin_test LINK orbt_pure version ENVS wine
                 LANGUAGES de_DE LANGUAGE_ENVS wine)
# The dialog in each of the host's languages, at every dpi: its texts must
# fit their controls.
orbt_win32_suite(dialog_test PLUGIN ENVS wine
                 LANGUAGES en_US de_DE fr_FR it_IT es_ES nl_NL sv_SE ja_JP
                           ja_JP/en_US
                 LANGUAGE_ENVS wine wine120 wine144)
# What depends on the display's geometry and colours runs on every display
# that changes them: the painting at every dpi, the clipboard picture at
# every dpi and depth.
orbt_win32_suite(paint_test PLUGIN ENVS wine wine120 wine144)
orbt_win32_suite(export_test PLUGIN ENVS wine wine16 wine8 wine120 wine144)
orbt_win32_suite(faults_test OWN_MAIN SOURCES tests/wine/faults_test.cpp
                 tests/wine/pixels.cpp ENVS wine)
orbt_win32_suite(load_test LINK psapi ENVS wine)

# The locales of every suite's language runs, made once before any of them.
if(NOT WIN32)
  get_property(locales GLOBAL PROPERTY ORBT_LOCALES)
  list(REMOVE_DUPLICATES locales)
  add_test(NAME locales.make COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/make-locales.sh
           ${CMAKE_BINARY_DIR}/locales ${locales})
  set_tests_properties(locales.make PROPERTIES FIXTURES_SETUP locales)
endif()
