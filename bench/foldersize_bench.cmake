# The folder-size benchmark: the total of /usr and of a generated tree of
# 100,000 files, against du. Run by bench/run.
add_executable(foldersize_bench ${CMAKE_CURRENT_LIST_DIR}/foldersize_bench.cpp)
target_link_libraries(foldersize_bench PRIVATE trovik_ui)
