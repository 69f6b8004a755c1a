# The content pane benchmark: include() this from the top-level CMakeLists.txt.
add_executable(pane_bench ${CMAKE_CURRENT_LIST_DIR}/pane_bench.cpp)
target_link_libraries(pane_bench PRIVATE trovik_ui)
