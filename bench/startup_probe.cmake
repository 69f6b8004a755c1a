# The program started as a process and timed to its first paint (run by
# browse_bench for startup_first_paint).
add_executable(startup_probe ${CMAKE_CURRENT_LIST_DIR}/startup_probe.cpp)
target_link_libraries(startup_probe PRIVATE trovik_ui)
if(TARGET unlha32)
  add_dependencies(startup_probe unlha32)
endif()
