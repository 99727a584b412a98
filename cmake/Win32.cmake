enable_language(RC)

# Every processor the host ran on, back to the 486 with its FPU: the i486's
# instructions with x87 arithmetic, no CMOV, FCOMI, MMX or SSE of any kind
# (tests/check-instructions.sh; why and how: docs/development.md).
set(ORBT_CPU_FLAGS -march=i486 -mtune=generic -mfpmath=387)
add_compile_options(${ORBT_CPU_FLAGS})
target_compile_options(orbt_pure PRIVATE ${ORBT_CPU_FLAGS})

# Nothing beside the DLL or the programs: the runtimes are linked in.
set(ORBT_STATIC_LINK -static -static-libgcc -static-libstdc++)

if(NOT ORBT_BITMAP_DIR)
  message(FATAL_ERROR "ORBT_BITMAP_DIR: the folder of the generated bitmaps")
endif()

# The plug-in's code, also linked straight into the white-box dialog tests.
add_library(orbt_plugin OBJECT ${ORBT_WIN_SOURCES})
target_include_directories(orbt_plugin PUBLIC ${CMAKE_SOURCE_DIR})

# Its resources, with the generated bitmaps found through the include path.
add_library(orbt_resources OBJECT resources/Orbitrace.rc)
target_include_directories(orbt_resources PRIVATE ${CMAKE_SOURCE_DIR}
                                                  ${ORBT_BITMAP_DIR})
set_property(SOURCE resources/Orbitrace.rc APPEND PROPERTY OBJECT_DEPENDS
    ${ORBT_BITMAP_DIR}/step_up.bmp ${ORBT_BITMAP_DIR}/step_down.bmp
    ${ORBT_BITMAP_DIR}/tool_strip.bmp ${CMAKE_SOURCE_DIR}/resources/orbitrace_res.h
    ${CMAKE_SOURCE_DIR}/resources/english_dialogs.rc
    ${CMAKE_SOURCE_DIR}/resources/translations.rc)

# The plug-in: one export, named by the module-definition file. No C
# runtime, neither msvcrt.dll nor the static start-up with its TLS
# directory: its own entry point and memory functions (host/dll_runtime_win.cpp)
# and libgcc's 64-bit arithmetic, which imports nothing
# (tests/check-dll.sh).
add_library(Orbitrace SHARED host/Orbitrace.def host/dll_runtime_win.cpp
    $<TARGET_OBJECTS:orbt_plugin> $<TARGET_OBJECTS:orbt_resources>)
set_source_files_properties(host/dll_runtime_win.cpp PROPERTIES
    COMPILE_OPTIONS "-ffreestanding;-fno-tree-loop-distribute-patterns")
set_target_properties(Orbitrace PROPERTIES PREFIX "" SUFFIX ".fmx")
target_link_libraries(Orbitrace PRIVATE orbt_pure gcc gdi32 user32 kernel32)
target_link_options(Orbitrace PRIVATE -nostdlib
    -Wl,--entry,_DllMainCRTStartup@12 -Wl,--dynamicbase -Wl,--nxcompat)
# Shipped stripped: Windows 9x reads the whole file into memory at load, and
# debug information and symbols would take several times the code's room
# there. They stay beside it in the build, in Orbitrace.fmx.debug, which the
# DLL names for debuggers (its .gnu_debuglink).
find_program(ORBT_OBJCOPY i686-w64-mingw32-objcopy REQUIRED)
add_custom_command(TARGET Orbitrace POST_BUILD
  COMMAND ${ORBT_OBJCOPY} --only-keep-debug $<TARGET_FILE:Orbitrace>
          $<TARGET_FILE:Orbitrace>.debug
  COMMAND ${ORBT_OBJCOPY} --strip-all
          --add-gnu-debuglink=$<TARGET_FILE:Orbitrace>.debug
          $<TARGET_FILE:Orbitrace>
  VERBATIM)

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
target_link_libraries(fmhost PRIVATE hostkit orbt_pure)
target_link_options(fmhost PRIVATE ${ORBT_STATIC_LINK})

# The benchmark program.
include(cmake/Bench.cmake)

if(NOT BUILD_TESTING)
  return()
endif()

# GoogleTest from Debian's sources, built by the cross compiler.
set(ORBT_GTEST_SRC /usr/src/googletest/googletest)
add_library(gtest_win32 STATIC ${ORBT_GTEST_SRC}/src/gtest-all.cc)
target_include_directories(gtest_win32 SYSTEM PUBLIC ${ORBT_GTEST_SRC}/include
                                           PRIVATE ${ORBT_GTEST_SRC})
add_library(gtest_main_win32 STATIC ${ORBT_GTEST_SRC}/src/gtest_main.cc)
target_link_libraries(gtest_main_win32 PUBLIC gtest_win32)

include(tests/wine/suites.cmake)
