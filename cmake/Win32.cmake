enable_language(RC)

# The processors the host runs on, back to the Pentium II and III and the
# Athlon: i686 with x87 arithmetic, no SSE of any kind (tests/check-dll.sh).
# The plug-in pins the x87 precision to 53 bits while it computes
# (host/x87_state.h), so that a double rounds as it does natively.
set(ORBT_CPU_FLAGS -march=i686 -mtune=generic -mfpmath=387)
add_compile_options(${ORBT_CPU_FLAGS})
target_compile_options(orbt_pure PRIVATE ${ORBT_CPU_FLAGS})

# Nothing beside the DLL or the programs: the runtimes are linked in.
set(ORBT_STATIC_LINK -static -static-libgcc -static-libstdc++)

if(NOT ORBT_BITMAP_DIR)
  message(FATAL_ERROR "ORBT_BITMAP_DIR: the folder of the generated bitmaps")
endif()

# The plug-in's code, also linked straight into the white-box dialog tests.
add_library(orbt_plugin OBJECT
    host/entry.cpp
    host/host_services.cpp
    sketch/sketch_state.cpp
    sketch/show_orbitrace.cpp
    dialog/splash_proc.cpp
    dialog/picture_prompt.cpp
    dialog/control_names.cpp
    render/ellipse.cpp
    render/disc.cpp
    render/cup.cpp
    render/ring.cpp
    render/redraw.cpp
    render/picture.cpp
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

# One Win32 test program (the table is tests/wine/suites.cmake).
function(orbt_win32_suite name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "PLUGIN;OWN_MAIN" "" "SOURCES;LINK;ENVS")
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
include(tests/wine/suites.cmake)

# The benchmark program.
include(cmake/Bench.cmake)
