# The benchmark: drives the built plug-in through the stand-in host under
# Wine and sets each figure against a floor measured in the same run.
add_executable(orbitrace_bench bench/orbitrace_bench.cpp)
target_link_libraries(orbitrace_bench PRIVATE hostkit psapi gdi32 user32)
target_link_options(orbitrace_bench PRIVATE ${ORBT_STATIC_LINK})
