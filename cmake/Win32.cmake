enable_language(RC)

# Doubles in SSE registers round once per operation, as natively on x86-64;
# x87 registers would round again on store and could move a pixel.
add_compile_options(-msse2 -mfpmath=sse)
target_compile_options(orbt_pure PRIVATE -msse2 -mfpmath=sse)

# Nothing beside the DLL or the programs: the runtimes are linked in.
set(ORBT_STATIC_LINK -static -static-libgcc -static-libstdc++)

if(NOT ORBT_BITMAP_DIR)
  message(FATAL_ERROR "ORBT_BITMAP_DIR: the folder of the generated bitmaps")
endif()

# The plug-in's code, also linked straight into the white-box dialog tests.
add_library(orbt_plugin OBJECT
    host/entry.cpp
    sketch/sketch_state.cpp
    sketch/show_orbitrace.cpp
    dialog/splash_proc.cpp
    render/disc.cpp
    render/cup.cpp
    render/ring.cpp
    render/redraw.cpp
    export/clipboard.cpp
    export/dib.cpp)
target_include_directories(orbt_plugin PUBLIC ${CMAKE_SOURCE_DIR})

# Its resources, with the generated bitmaps found through the include path.
add_library(orbt_resources OBJECT resources/Orbitrace.rc)
target_include_directories(orbt_resources PRIVATE ${CMAKE_SOURCE_DIR}
                                                  ${ORBT_BITMAP_DIR})
set_property(SOURCE resources/Orbitrace.rc APPEND PROPERTY OBJECT_DEPENDS
    ${ORBT_BITMAP_DIR}/step_up.bmp ${ORBT_BITMAP_DIR}/step_down.bmp
    ${ORBT_BITMAP_DIR}/tool_strip.bmp ${CMAKE_SOURCE_DIR}/resources/orbitrace_res.h)

# The plug-in: one export, named by the module-definition file.
add_library(Orbitrace SHARED host/Orbitrace.def
    $<TARGET_OBJECTS:orbt_plugin> $<TARGET_OBJECTS:orbt_resources>)
set_target_properties(Orbitrace PROPERTIES PREFIX "" SUFFIX ".fmx")
target_link_libraries(Orbitrace PRIVATE orbt_pure gdi32 user32 kernel32)
target_link_options(Orbitrace PRIVATE ${ORBT_STATIC_LINK}
    -Wl,--dynamicbase -Wl,--nxcompat)

# GoogleTest from Debian's sources, built by the cross compiler.
set(ORBT_GTEST_SRC /usr/src/googletest/googletest)
add_library(gtest_win32 STATIC ${ORBT_GTEST_SRC}/src/gtest-all.cc)
target_include_directories(gtest_win32 SYSTEM PUBLIC ${ORBT_GTEST_SRC}/include
                                           PRIVATE ${ORBT_GTEST_SRC})
add_library(gtest_main_win32 STATIC ${ORBT_GTEST_SRC}/src/gtest_main.cc)
target_link_libraries(gtest_main_win32 PUBLIC gtest_win32)

# The stand-in host's pieces, shared by the program and the Wine tests.
add_library(hostkit STATIC
    stand-in-host/host_memory.cpp
    stand-in-host/plugin_host.cpp
    stand-in-host/dialog_script.cpp
    stand-in-host/clipboard_picture.cpp)
target_include_directories(hostkit PUBLIC ${CMAKE_SOURCE_DIR})
# Debian's header-only PNG writer and reader (stb) and number reader
# (fast_float);
# searched after the MinGW headers so that no Linux system header is
# picked up.
set_source_files_properties(stand-in-host/clipboard_picture.cpp
    render/number_text.cpp tests/wine/export_test.cpp
    PROPERTIES COMPILE_OPTIONS "-idirafter;/usr/include")
target_link_libraries(hostkit PUBLIC gdi32 user32 kernel32)

add_executable(fmhost stand-in-host/fmhost.cpp)
target_link_libraries(fmhost PRIVATE hostkit)
target_link_options(fmhost PRIVATE ${ORBT_STATIC_LINK})

function(orbt_win32_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE gtest_main_win32)
  target_link_options(${name} PRIVATE ${ORBT_STATIC_LINK})
endfunction()

orbt_win32_test(unit_tests_win32 ${ORBT_UNIT_TEST_SOURCES})
target_link_libraries(unit_tests_win32 PRIVATE orbt_pure)

orbt_win32_test(resources_test tests/wine/resources_test.cpp)
target_link_libraries(resources_test PRIVATE hostkit version)

orbt_win32_test(hostkit_test tests/wine/hostkit_test.cpp)
target_link_libraries(hostkit_test PRIVATE hostkit)

orbt_win32_test(plugin_test tests/wine/plugin_test.cpp)
target_link_libraries(plugin_test PRIVATE hostkit orbt_pure)

orbt_win32_test(dialog_test tests/wine/dialog_test.cpp tests/wine/sketch_harness.cpp
    $<TARGET_OBJECTS:orbt_plugin> $<TARGET_OBJECTS:orbt_resources>)
target_link_libraries(dialog_test PRIVATE hostkit orbt_pure)

orbt_win32_test(paint_test tests/wine/paint_test.cpp tests/wine/sketch_harness.cpp
    tests/wine/pixels.cpp
    $<TARGET_OBJECTS:orbt_plugin> $<TARGET_OBJECTS:orbt_resources>)
target_link_libraries(paint_test PRIVATE hostkit orbt_pure)

orbt_win32_test(export_test tests/wine/export_test.cpp tests/wine/sketch_harness.cpp
    tests/wine/pixels.cpp
    $<TARGET_OBJECTS:orbt_plugin> $<TARGET_OBJECTS:orbt_resources>)
target_link_libraries(export_test PRIVATE hostkit orbt_pure)

# The benchmark program.
include(cmake/Bench.cmake)

# Faults and load, against the built plug-in.
add_executable(faults_test tests/wine/faults_test.cpp tests/wine/pixels.cpp)
target_link_libraries(faults_test PRIVATE gtest_win32 hostkit)
target_link_options(faults_test PRIVATE ${ORBT_STATIC_LINK})
orbt_win32_test(load_test tests/wine/load_test.cpp)
target_link_libraries(load_test PRIVATE hostkit psapi)
