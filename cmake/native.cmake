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

# The editor extension laid out for ./mcr to package (build/native/vscode):
# editors/vscode and the grammar and word data written from the reference's
# sources, whenever one of them changes.
add_executable(editorgen tools/editorgen.cpp)
target_link_libraries(editorgen PRIVATE mcr_wordref mcrhost_pure)
file(GLOB_RECURSE MCR_EDITOR_FILES CONFIGURE_DEPENDS ${MCR_ROOT}/editors/vscode/*)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/vscode.stamp
  COMMAND editorgen ${MCR_ROOT} ${CMAKE_BINARY_DIR}/vscode ${PROJECT_VERSION}
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/vscode.stamp
  DEPENDS editorgen ${MCR_EDITOR_FILES} ${MCR_ROOT}/docs/src/words.txt ${MCR_ROOT}/mcrpak/resources/strings.rc
          ${MCR_ROOT}/mcrpak/bridge/words.inc
  COMMENT "Laying out the editor extension")
add_custom_target(vscode ALL DEPENDS ${CMAKE_BINARY_DIR}/vscode.stamp)
# Its data against the word table; native only, as the data is written here.
add_executable(editor_test tests/editors/editor_test.cpp)
target_link_libraries(editor_test PRIVATE mcr_wordref mcrhost_pure GTest::gtest_main)
target_compile_definitions(editor_test PRIVATE MCR_SOURCE_DIR="${MCR_ROOT}")
target_include_directories(editor_test PRIVATE ${MCR_ROOT}/tests/support)
add_test(NAME editor_test COMMAND editor_test)
set_tests_properties(editor_test PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT})

# The fuzz target: a fixed seed and a bounded run from the committed seeds
# (read, never written), so that the test command stays repeatable and short;
# run it by hand without limits, with a corpus folder, to search longer.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang" AND MCR_SANITIZE)
  add_executable(readers_fuzz tests/fuzz/readers_fuzz.cpp tests/fuzz/offlinecfg_input.cpp)
  target_link_libraries(readers_fuzz PRIVATE mcrpak_pure mcrhost_pure)
  target_link_options(readers_fuzz PRIVATE -fsanitize=fuzzer)
  file(GLOB seeds CONFIGURE_DEPENDS ${MCR_ROOT}/tests/fuzz/corpus/*)
  list(JOIN seeds "," seeds)
  file(WRITE ${CMAKE_BINARY_DIR}/fuzz-seeds.txt "${seeds}")
  add_test(NAME readers_fuzz COMMAND readers_fuzz -seed=1 -runs=200000 -max_total_time=20 -max_len=8192
           -seed_inputs=@${CMAKE_BINARY_DIR}/fuzz-seeds.txt)
  set_tests_properties(readers_fuzz PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT})
endif()
