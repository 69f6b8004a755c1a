# The file list and preview benchmark: listing a big folder, the preview while
# moving through a folder, the full load of a big file. Run by bench/run.
add_executable(browse_bench ${CMAKE_CURRENT_LIST_DIR}/browse_bench.cpp)
target_link_libraries(browse_bench PRIVATE trovik_ui)
