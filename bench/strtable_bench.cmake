# The string table benchmark, kept apart from the other benchmarks:
# include(strtable_bench.cmake) from bench/CMakeLists.txt. The table writer of
# the tests makes its input.
add_executable(strtable_bench
  ${CMAKE_CURRENT_LIST_DIR}/strtable_bench.cpp
  ${PROJECT_SOURCE_DIR}/tests/strtable/TableWriter.cpp)
target_include_directories(strtable_bench PRIVATE ${PROJECT_SOURCE_DIR}/tests/strtable)
target_link_libraries(strtable_bench PRIVATE tw_app)
set_target_properties(strtable_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
