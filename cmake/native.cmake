# Native (Linux) build: the pure code under AddressSanitizer and
# UndefinedBehaviorSanitizer, its tests, and the export-table checker.
set(MCR_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -g ${MCR_SANITIZE})
add_link_options(${MCR_SANITIZE})

find_package(GTest REQUIRED)

foreach(src IN LISTS MCR_NATIVE_SUITES)
  get_filename_component(n ${src} NAME_WE)
  add_executable(${n} ${src})
  target_include_directories(${n} PRIVATE ${MCR_ROOT}/tests/native ${MCR_ROOT}/tests/support)
  target_link_libraries(${n} PRIVATE mcrpak_pure mcrhost_pure GTest::gtest_main)
  add_test(NAME ${n} COMMAND ${n})
endforeach()

add_executable(exportcheck tools/exportcheck.cpp)
target_include_directories(exportcheck PRIVATE ${MCR_ROOT}/mcrpak)
