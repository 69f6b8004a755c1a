# The file operations benchmark: copy of a tree, move across devices, trash of
# a big folder. Run by bench/run.
add_executable(fileops_bench ${CMAKE_CURRENT_LIST_DIR}/fileops_bench.cpp)
target_link_libraries(fileops_bench PRIVATE trovik_platform)
