# The benchmark: drives the built plug-in through the stand-in host under
# Wine and sets each figure against a floor measured in the same run. One
# file for each figure.
add_executable(orbitrace_bench
    bench/orbitrace_bench.cpp
    bench/bench.cpp
    bench/step_figure.cpp
    bench/ok_figure.cpp
    bench/batch_figure.cpp
    export/clipboard_open_win.cpp)
target_link_libraries(orbitrace_bench PRIVATE hostkit orbt_pure psapi gdi32
                      user32)
target_link_options(orbitrace_bench PRIVATE ${ORBT_STATIC_LINK})
