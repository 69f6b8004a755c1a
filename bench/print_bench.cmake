# The pagination benchmark: include() this from bench/CMakeLists.txt.
add_executable(print_bench ${CMAKE_CURRENT_LIST_DIR}/print_bench.cpp)
target_link_libraries(print_bench PRIVATE trovik_ui)
