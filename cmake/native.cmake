# Native (Linux) build: the pure code under AddressSanitizer and
# UndefinedBehaviorSanitizer, its tests, and the export-table checker.
set(MCR_SANITIZE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(-Wall -Wextra -g ${MCR_SANITIZE})
add_link_options(${MCR_SANITIZE})

find_package(GTest REQUIRED)

add_executable(pure_tests
  tests/native/pure_test.cpp
)
target_link_libraries(pure_tests PRIVATE mcrpak_pure mcrhost_vars GTest::gtest_main)
add_test(NAME pure_tests COMMAND pure_tests)

add_executable(exportcheck tools/exportcheck.cpp)
target_include_directories(exportcheck PRIVATE ${MCR_ROOT}/mcrpak)
