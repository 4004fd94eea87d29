# Windows build (mingw-w64): the library, the stand-ins of the workstation's
# modules, the host, and the test suites that run under Wine.
include(${MCR_ROOT}/cmake/gendef.cmake)
enable_language(RC)

if(CMAKE_SYSTEM_PROCESSOR STREQUAL "i686")
  set(MCR_ARCH i686)
else()
  set(MCR_ARCH x86_64)
endif()
find_program(MCR_DLLTOOL ${MCR_ARCH}-w64-mingw32-dlltool REQUIRED)
find_program(MCR_OBJDUMP ${MCR_ARCH}-w64-mingw32-objdump REQUIRED)

add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++)
# The same sources give the same modules (no link time in the header, no
# checkout path in the debugging information), so a release can be made
# again byte for byte. The release archive ships the modules stripped, with
# their debugging information beside them (tools/dist.py), so that a crash
# address on a workstation can be read. That information names each source
# as it stands in the tree (mcrpak/bridge/...): without the second map, the
# compiler's working directory, the build folder, would lead every name (of
# two maps that match, the later wins).
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${MCR_ROOT}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}=)

# The commit the modules are built from, for their version resource: two
# builds of the same version number can then be told apart on a workstation.
# Taken when ./mcr configures, which it does before every build.
execute_process(COMMAND git -C ${MCR_ROOT} rev-parse HEAD OUTPUT_VARIABLE MCR_COMMIT
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(MCR_COMMIT)
  string(SUBSTRING ${MCR_COMMIT} 0 7 MCR_COMMIT_SHORT)
  set(MCR_PRODUCT_VERSION "${PROJECT_VERSION}+${MCR_COMMIT_SHORT}")
  set(MCR_COMMENTS "Built from commit ${MCR_COMMIT}")
else()
  set(MCR_PRODUCT_VERSION "${PROJECT_VERSION}")
  set(MCR_COMMENTS "Built outside a git checkout: the commit is not known")
endif()
set(MCR_PRODUCT_VERSION ${MCR_PRODUCT_VERSION} CACHE INTERNAL "the modules' ProductVersion (tools/dist.py reads it)")

# A VERSIONINFO resource for target from the project's version: type is
# VFT_DLL or VFT_APP.
function(mcr_version_resource target description type)
  get_target_property(file ${target} OUTPUT_NAME)
  if(NOT file)
    set(file ${target})
  endif()
  if(type STREQUAL "VFT_DLL")
    string(APPEND file ".dll")
  else()
    string(APPEND file ".exe")
  endif()
  set(MCR_VERSION_FILE ${file})
  set(MCR_VERSION_NAME ${target})
  set(MCR_VERSION_DESCRIPTION ${description})
  set(MCR_VERSION_TYPE ${type})
  configure_file(${MCR_ROOT}/cmake/version.rc.in ${CMAKE_BINARY_DIR}/version/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_BINARY_DIR}/version/${target}.rc)
endfunction()

# The modules that go to the workstation (the library and the stand-ins of
# its modules) are built with the toolchain's win32 thread model: the
# POSIX thread runtime would bring imports that the workstation's Windows
# lacks, and these modules start no thread. Programs that run here (mcrhost,
# the tests, the bench) keep the posix model that GoogleTest needs.
function(mcr_shipped_module target description)
  set(launcher ${MCR_ROOT}/cmake/win32threads.sh)
  set_target_properties(${target} PROPERTIES
    C_COMPILER_LAUNCHER ${launcher} CXX_COMPILER_LAUNCHER ${launcher} RULE_LAUNCH_LINK ${launcher})
  target_compile_options(${target} PRIVATE -g)
  mcr_version_resource(${target} ${description} VFT_DLL)
endfunction()

# --- stand-ins for the workstation's own modules -------------------------
mcr_import_library(dlgframe_imports ${MCR_ROOT}/standins/dlgframe/dlgframe.def)
add_library(dlgframe SHARED standins/dlgframe/dlgframe.cpp
  ${CMAKE_BINARY_DIR}/dlgframe.imp.def)
set_target_properties(dlgframe PROPERTIES PREFIX "" OUTPUT_NAME dlgframe)
mcr_shipped_module(dlgframe "Dialog library of the workstation (stand-in)")
if(MCR_ARCH STREQUAL "i686")
  target_link_options(dlgframe PRIVATE -Wl,--kill-at)
endif()

mcr_import_library(anlink_imports ${MCR_ROOT}/standins/anlink/anlink.def)
# It finds the installation as the library does (workstation.cpp).
add_library(anlink SHARED standins/anlink/anlink.cpp mcrpak/bridge/workstation.cpp
  ${CMAKE_BINARY_DIR}/anlink.imp.def)
set_target_properties(anlink PROPERTIES PREFIX "" OUTPUT_NAME anlink)
mcr_shipped_module(anlink "Link to the data-analysis task of the workstation (stand-in)")
target_include_directories(anlink PRIVATE ${MCR_ROOT}/mcrpak)
target_link_libraries(anlink PRIVATE advapi32 user32)
if(MCR_ARCH STREQUAL "i686")
  target_link_options(anlink PRIVATE -Wl,--kill-at)
endif()

# --- the library ----------------------------------------------------------
mcr_generate_def(${CMAKE_BINARY_DIR}/MCRPAK.def ${MCR_ARCH})
file(GLOB_RECURSE MCR_LIBRARY_SOURCES CONFIGURE_DEPENDS
  ${MCR_ROOT}/mcrpak/bridge/*.cpp ${MCR_ROOT}/mcrpak/util/*.cpp
  ${MCR_ROOT}/mcrpak/instfiles/*.cpp ${MCR_ROOT}/mcrpak/windows/*.cpp
  ${MCR_ROOT}/mcrpak/fileops/*.cpp ${MCR_ROOT}/mcrpak/dialogs/*.cpp
  ${MCR_ROOT}/mcrpak/batch/*.cpp)
# The platform-free sources are compiled again for the library, in its
# thread model (mcrpak_pure serves the programs that run here).
list(APPEND MCR_LIBRARY_SOURCES ${MCR_PURE_SOURCES})
list(REMOVE_DUPLICATES MCR_LIBRARY_SOURCES)
file(GLOB_RECURSE MCR_RESOURCE_DEPS CONFIGURE_DEPENDS ${MCR_ROOT}/mcrpak/resources/*)

# The message popup's animation frames are drawn by a small program built for
# and run on the build machine; the resource script finds them in icons/.
find_program(MCR_NATIVE_CXX NAMES c++ g++ clang++ REQUIRED)
set(MCR_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(MCR_ICONGEN ${CMAKE_BINARY_DIR}/icongen)
set(MCR_ICONS)
foreach(frame RANGE 1 8)
  list(APPEND MCR_ICONS ${MCR_ICON_DIR}/timer_${frame}.ico ${MCR_ICON_DIR}/bar_${frame}.ico)
endforeach()
add_custom_command(OUTPUT ${MCR_ICONGEN}
  COMMAND ${MCR_NATIVE_CXX} -std=c++17 -O2 -o ${MCR_ICONGEN} ${MCR_ROOT}/tools/icongen.cpp
  DEPENDS ${MCR_ROOT}/tools/icongen.cpp VERBATIM)
add_custom_command(OUTPUT ${MCR_ICONS}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${MCR_ICON_DIR}
  COMMAND ${MCR_ICONGEN} ${MCR_ICON_DIR}
  DEPENDS ${MCR_ICONGEN} VERBATIM)
add_custom_target(popup_icons DEPENDS ${MCR_ICONS})
list(APPEND MCR_RESOURCE_DEPS ${MCR_ICONS})

add_library(mcrpak SHARED ${MCR_LIBRARY_SOURCES} mcrpak/resources/mcrpak.rc
  ${CMAKE_BINARY_DIR}/MCRPAK.def)
set_source_files_properties(mcrpak/resources/mcrpak.rc PROPERTIES OBJECT_DEPENDS "${MCR_RESOURCE_DEPS}"
  INCLUDE_DIRECTORIES ${MCR_ICON_DIR})
add_dependencies(mcrpak popup_icons)
set_target_properties(mcrpak PROPERTIES PREFIX "" OUTPUT_NAME MCRPAK)
target_include_directories(mcrpak PRIVATE ${MCR_ROOT}/mcrpak)
target_link_libraries(mcrpak PRIVATE dlgframe_imports anlink_imports
  user32 gdi32 advapi32 shell32 shlwapi ole32 winmm comctl32 comdlg32)
if(MCR_ARCH STREQUAL "i686")
  target_link_options(mcrpak PRIVATE -Wl,--enable-stdcall-fixup)
endif()
add_dependencies(mcrpak dlgframe anlink)
mcr_shipped_module(mcrpak "Macro words of the ICP-MS workstation")

# --- the host ---------------------------------------------------------------
set(MCR_HOST_CORE_SOURCES ${MCR_ROOT}/host/core/hostcore.cpp ${MCR_ROOT}/host/core/taskwindows.cpp)
add_library(mcrhost_core STATIC ${MCR_HOST_CORE_SOURCES})
target_include_directories(mcrhost_core PUBLIC ${MCR_ROOT}/host/core ${MCR_ROOT}/mcrpak)
target_link_libraries(mcrhost_core PUBLIC mcrhost_pure user32 gdi32)

file(GLOB MCR_HOST_SOURCES CONFIGURE_DEPENDS ${MCR_ROOT}/host/app/*.cpp)
if(MCR_HOST_SOURCES)
  # mcrhost.rc holds the word reference's sources for --help WORD.
  # The release carries the 32-bit mcrhost for trying the library on any PC,
  # Windows XP included: the win32 thread model, as the shipped modules. So
  # it compiles the host's sources once more, in that model, rather than
  # link the libraries the tests share: objects of the two models in one
  # program crash in the C++ runtime's own code. --selftest lays the sample
  # workstation out for its checks.
  add_executable(mcrhost ${MCR_HOST_SOURCES} host/app/mcrhost.rc mcrpak/bridge/workstation.cpp
    sample/workstation.cpp ${MCR_HOST_CORE_SOURCES} ${MCR_HOST_PURE} ${MCR_WORDREF_SOURCES})
  target_include_directories(mcrhost PRIVATE ${MCR_ROOT} ${MCR_ROOT}/mcrpak ${MCR_ROOT}/standins/anlink
    ${MCR_ROOT}/sample ${MCR_ROOT}/host/core ${MCR_ROOT}/host/lang ${MCR_ROOT}/host/ref)
  set_source_files_properties(host/app/mcrhost.rc PROPERTIES OBJECT_DEPENDS
    "${MCR_ROOT}/docs/src/words.txt;${MCR_ROOT}/mcrpak/resources/strings.rc;${MCR_ROOT}/host/app/selftest.txt")
  target_link_libraries(mcrhost PRIVATE user32 gdi32 advapi32 version)
  add_dependencies(mcrhost mcrpak dlgframe anlink)
  mcr_version_resource(mcrhost "Command processor for trying MCRPAK macros" VFT_APP)
  set(launcher ${MCR_ROOT}/cmake/win32threads.sh)
  set_target_properties(mcrhost PROPERTIES
    C_COMPILER_LAUNCHER ${launcher} CXX_COMPILER_LAUNCHER ${launcher} RULE_LAUNCH_LINK ${launcher})
endif()

if(MCR_ARCH STREQUAL "i686")
  # Only the library uses the platform-free code in this build.
  set_target_properties(mcrpak_pure PROPERTIES EXCLUDE_FROM_ALL TRUE)
  # The shipped 32-bit library cannot run here; check its export table, how
  # each export returns, and its imports against tools/imports-i686.txt.
  if(MCR_EXPORTCHECK)
    set(dump "{ ${MCR_OBJDUMP} -p $<TARGET_FILE:mcrpak>; ${MCR_OBJDUMP} -d $<TARGET_FILE:mcrpak>; }")
    add_test(NAME i686_exports
      COMMAND env LC_ALL=C sh -c "${dump} | ${MCR_EXPORTCHECK} ${MCR_ROOT}/tools/imports-i686.txt")
    # The same check with one import the library makes struck from the list
    # must fail and name it: a check that lets everything pass looks the same.
    add_test(NAME i686_unlisted_import_refused
      COMMAND env LC_ALL=C sh -c "grep -v '^KERNEL32.dll CreateFileA$' ${MCR_ROOT}/tools/imports-i686.txt > unlisted.txt; out=$(${dump} | ${MCR_EXPORTCHECK} unlisted.txt); status=$?; echo \"$out\"; [ $status -ne 0 ] && echo \"$out\" | grep -q ' 1 not in the allow-list'")
    set_tests_properties(i686_exports i686_unlisted_import_refused PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT})
    foreach(module dlgframe anlink mcrhost)
      add_test(NAME i686_${module}_imports
        COMMAND env LC_ALL=C sh -c "${MCR_OBJDUMP} -p $<TARGET_FILE:${module}> | ${MCR_EXPORTCHECK} --imports-only ${MCR_ROOT}/tools/imports-i686.txt")
      set_tests_properties(i686_${module}_imports PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT})
    endforeach()
  endif()
endif()

# --- the benchmark (./mcr bench) ------------------------------------------------
if(NOT MCR_ARCH STREQUAL "i686")
  file(GLOB MCR_BENCH_SOURCES CONFIGURE_DEPENDS ${MCR_ROOT}/bench/*.cpp)
  list(REMOVE_ITEM MCR_BENCH_SOURCES ${MCR_ROOT}/bench/native_main.cpp)
  add_executable(mcrbench ${MCR_BENCH_SOURCES})
  # The file figures lay their files down with the tests' fixture builders.
  target_include_directories(mcrbench PRIVATE ${MCR_ROOT}/bench ${MCR_ROOT}/mcrpak ${MCR_ROOT}/tests/support)
  target_link_libraries(mcrbench PRIVATE mcrhost_core mcrpak_pure shell32)
  add_dependencies(mcrbench mcrpak dlgframe anlink)
endif()

# --- tests under Wine ---------------------------------------------------------
# The i686 build makes the same suites as the target suites32, for
# ./mcr test32 to run in an emulated 32-bit PC: this machine cannot run them,
# so they are neither built by default nor handed to ctest here. Their
# names are written to suites32.txt.
set(MCR_SUITES32_LIST ${CMAKE_BINARY_DIR}/suites32.txt)
if(MCR_ARCH STREQUAL "i686")
  set(MCR_SUITES32 ON)
  add_custom_target(suites32)
  file(WRITE ${MCR_SUITES32_LIST}.new "")
endif()
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# A stand-in for the HTML Help control that records the help the dialogs ask for.
add_library(helprec SHARED tests/helprec/helprec.cpp tests/helprec/helprec.def)
set_target_properties(helprec PROPERTIES PREFIX "")
if(MCR_ARCH STREQUAL "i686")
  # The control's HtmlHelpA is exported by its plain name, as the system's is:
  # the linker finds it under its stdcall name (@16) and needs no word on it.
  target_link_options(helprec PRIVATE -Wl,--enable-stdcall-fixup)
endif()

file(GLOB MCR_TEST_SUPPORT CONFIGURE_DEPENDS ${MCR_ROOT}/tests/support/*.cpp)
add_library(mcr_test_support STATIC ${MCR_TEST_SUPPORT})
target_include_directories(mcr_test_support PUBLIC ${MCR_ROOT}/tests/support ${MCR_ROOT}/mcrpak)
target_link_libraries(mcr_test_support PUBLIC mcrhost_core mcr_wordref gtest shell32)
# The catalogue's texts come from its resource script in the source tree.
target_compile_definitions(mcr_test_support PRIVATE MCR_SOURCE_DIR="Z:${MCR_ROOT}")

# One executable per subsystem keeps Wine start-ups few.
function(mcr_wine_suite name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE mcr_test_support mcrpak_pure gtest_main)
  target_compile_definitions(${name} PRIVATE MCR_SOURCE_DIR="Z:${MCR_ROOT}")
  add_dependencies(${name} mcrpak dlgframe anlink helprec)
  # Suites that write the workstation's registry key, or point the help
  # control's registration at the recorder, take turns with it.
  set(lock "-")
  foreach(src IN LISTS ARGN)
    file(STRINGS ${src} touches REGEX "WorkstationKey|Veltrix|WriteInstallKey|CatchHelp")
    if(touches)
      set(lock workstation_key)
    endif()
  endforeach()
  if(MCR_SUITES32)
    add_dependencies(suites32 ${name})
    file(APPEND ${MCR_SUITES32_LIST}.new "${name}\n")
    return()
  endif()
  add_test(NAME ${name} COMMAND ${name})
  # A suite passes by GoogleTest's own last word, not by wine's exit status:
  # a suite that never ran (the wineserver gone) exits 0 without it.
  set_tests_properties(${name} PROPERTIES TIMEOUT ${MCR_TEST_TIMEOUT}
                       PASS_REGULAR_EXPRESSION "\\[  PASSED  \\]"
                       FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  if(NOT lock STREQUAL "-")
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK ${lock})
  endif()
endfunction()

file(GLOB MCR_WINE_SUITES CONFIGURE_DEPENDS ${MCR_ROOT}/tests/wine/*_test.cpp)
foreach(src IN LISTS MCR_WINE_SUITES)
  get_filename_component(n ${src} NAME_WE)
  mcr_wine_suite(${n} ${src})
endforeach()

# The platform-free tests once more, under Wine, so both builds are held to
# the same answers.
foreach(src IN LISTS MCR_NATIVE_SUITES)
  get_filename_component(n ${src} NAME_WE)
  mcr_wine_suite(${n}_wine ${src})
  target_include_directories(${n}_wine PRIVATE ${MCR_ROOT}/tests/native)
  target_link_libraries(${n}_wine PRIVATE mcr_wordref)
endforeach()

# --- the sample workstation and mcrhost's end-to-end suite ---------------------
add_library(mcrsample STATIC ${MCR_ROOT}/sample/workstation.cpp)
target_include_directories(mcrsample PUBLIC ${MCR_ROOT}/sample)
target_link_libraries(mcrsample PUBLIC advapi32)
add_executable(mkworkstation ${MCR_ROOT}/sample/mkworkstation.cpp)
target_link_libraries(mkworkstation PRIVATE mcrsample)
mcr_version_resource(mkworkstation "Lays out the sample workstation" VFT_APP)
# The suites lay the sample out in their own folders.
target_link_libraries(mcr_test_support PUBLIC mcrsample)
if(TARGET mcrhost_test)
  # The suite runs mcrhost.exe on the macros under tests/host.
  target_compile_definitions(mcrhost_test PRIVATE MCR_HOST_CASES="${MCR_ROOT}/tests/host")
  add_dependencies(mcrhost_test mcrhost)
endif()
# The references' examples and mcrhost's cases run mcrhost.exe on the
# sample; the references are read from the source tree.
foreach(suite reference_test mcrhost_test)
  if(TARGET ${suite})
    target_compile_definitions(${suite} PRIVATE MCR_VERSION="${PROJECT_VERSION}")
    target_link_libraries(${suite} PRIVATE mcrsample mcr_wordref version)
    add_dependencies(${suite} mcrhost mkworkstation)
  endif()
endforeach()

if(MCR_SUITES32)
  get_property(targets DIRECTORY PROPERTY BUILDSYSTEM_TARGETS)
  list(REMOVE_ITEM targets mcrpak dlgframe anlink mcrhost mcrhost_core mcrhost_pure mcr_wordref popup_icons
       dlgframe_imports anlink_imports)
  set_target_properties(${targets} PROPERTIES EXCLUDE_FROM_ALL ON)
  add_dependencies(suites32 mcrhost mkworkstation helprec)
  configure_file(${MCR_SUITES32_LIST}.new ${MCR_SUITES32_LIST} COPYONLY)
endif()
