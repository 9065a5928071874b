# Adding a file to archives of 2 MB and 200 MB through the archive library:
# include(archive_bench.cmake) from bench/CMakeLists.txt.
add_executable(archive_bench ${CMAKE_CURRENT_LIST_DIR}/archive_bench.cpp)
target_include_directories(archive_bench PRIVATE ${PROJECT_SOURCE_DIR}/src ${STORMLIB_INCLUDE_DIR})
target_link_libraries(archive_bench PRIVATE Qt6::Core ${STORMLIB_LIBRARY} ${CMAKE_DL_LIBS})
target_compile_definitions(archive_bench PRIVATE TW_LMPQAPI_PATH="$<TARGET_FILE:lmpqapi>")
set_target_properties(archive_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
add_dependencies(archive_bench lmpqapi)
