# Native (Linux) build: the pure code under AddressSanitizer and
# UndefinedBehaviorSanitizer, its tests, and the export-table checker.

find_package(GTest REQUIRED)

if(MCR_X87)
  # Each numeric suite at both precisions a process may set (x87/precision.cpp).
  foreach(n foundation_test numfmt_test datatable_test)
    add_executable(${n} tests/native/${n}.cpp tests/native/x87/precision.cpp)
    target_include_directories(${n} PRIVATE ${MCR_ROOT}/tests/native ${MCR_ROOT}/tests/support)
    target_link_libraries(${n} PRIVATE mcrpak_pure mcrhost_pure mcr_wordref GTest::gtest_main)
    target_compile_definitions(${n} PRIVATE MCR_SOURCE_DIR="${MCR_ROOT}")
    foreach(bits 53 64)
      add_test(NAME ${n}_x87_${bits} COMMAND ${n} --gtest_output=xml:${CMAKE_BINARY_DIR}/reports/${n}_x87_${bits}.xml)
      set_tests_properties(${n}_x87_${bits} PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT} ENVIRONMENT MCR_X87_PRECISION=${bits})
    endforeach()
  endforeach()
  return()
endif()

foreach(src IN LISTS MCR_NATIVE_SUITES)
  get_filename_component(n ${src} NAME_WE)
  add_executable(${n} ${src})
  target_include_directories(${n} PRIVATE ${MCR_ROOT}/tests/native ${MCR_ROOT}/tests/support)
  target_link_libraries(${n} PRIVATE mcrpak_pure mcrhost_pure mcr_wordref GTest::gtest_main)
  target_compile_definitions(${n} PRIVATE MCR_SOURCE_DIR="${MCR_ROOT}")
  add_test(NAME ${n} COMMAND ${n})
  set_tests_properties(${n} PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT})
endforeach()

# The figures of platform-free code (./mcr bench builds them without the
# sanitizers, in a folder of their own).
add_executable(mcrbench_native bench/figures.cpp bench/numfmt_bench.cpp bench/native_main.cpp)
target_include_directories(mcrbench_native PRIVATE ${MCR_ROOT}/bench ${MCR_ROOT}/mcrpak)
target_link_libraries(mcrbench_native PRIVATE mcrpak_pure)

add_executable(exportcheck tools/exportcheck.cpp)
target_include_directories(exportcheck PRIVATE ${MCR_ROOT}/mcrpak)

# ./mcr docs: writes docs/words.md.
add_executable(wordref tools/wordref.cpp)
target_link_libraries(wordref PRIVATE mcr_wordref)

# Fuzz targets: a fixed seed and a bounded number of runs, so that the test
# command stays repeatable; run one by hand without limits to search longer.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND MCR_SANITIZE)
  file(GLOB MCR_FUZZERS CONFIGURE_DEPENDS ${MCR_ROOT}/tests/fuzz/*_fuzz.cpp)
  foreach(src IN LISTS MCR_FUZZERS)
    get_filename_component(n ${src} NAME_WE)
    add_executable(${n} ${src})
    target_link_libraries(${n} PRIVATE mcrpak_pure mcrhost_pure)
    target_link_options(${n} PRIVATE -fsanitize=fuzzer)
    add_test(NAME ${n} COMMAND ${n} -seed=1 -runs=100000 -max_total_time=60 -max_len=8192)
    set_tests_properties(${n} PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT})
  endforeach()
endif()
