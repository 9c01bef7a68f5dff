# Adds the bench driver to the main project without touching its CMakeLists.txt:
#   cmake -S . -B build-bench -DCMAKE_PROJECT_INCLUDE=bench/driver.cmake
# The libraries are defined after project(), so the target is added once the top folder is read.
set(VISTREL_BENCH_DIR ${CMAKE_CURRENT_LIST_DIR})
function(vistrel_add_bench_driver)
  add_executable(create_bench ${VISTREL_BENCH_DIR}/create_bench.cpp)
  target_link_libraries(create_bench PRIVATE vistrel_run)
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vistrel_add_bench_driver)
