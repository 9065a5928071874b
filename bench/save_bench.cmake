# The saving benchmark, kept apart from the other benchmarks:
# include(save_bench.cmake) from bench/CMakeLists.txt, after tw_sheetgen.
add_executable(save_bench ${CMAKE_CURRENT_LIST_DIR}/save_bench.cpp)
target_link_libraries(save_bench PRIVATE tw_sheetgen tw_app)
set_target_properties(save_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
