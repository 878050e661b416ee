# GoogleTest built from Debian's sources with the cross toolchain; every test
# executable runs under Wine through scripts/wine-run.sh.
enable_testing()
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)

# Windows form of a path of this machine, as Wine's Z: drive shows it.
function(morvane_windows_path out path)
  string(REPLACE "/" "\\\\" p "${path}")
  set(${out} "Z:${p}" PARENT_SCOPE)
endfunction()

morvane_windows_path(MORVANE_DLL_WINPATH ${CMAKE_BINARY_DIR}/MorvaneX64.dll)
morvane_windows_path(MORVANE_STANDIN_WINPATH ${CMAKE_BINARY_DIR}/standin/Morvane.exe)
morvane_windows_path(MORVANE_BUILD_WINPATH ${CMAKE_BINARY_DIR})

# The tests' allocator takes the place of the module's: counted, able to
# fail at the Nth call, guard pages in the hardened build; and the calls
# that Wine cannot make behave as Windows may (support/platform_seams.h).
add_library(morvane_test_allocator STATIC ${CMAKE_SOURCE_DIR}/tests/support/test_allocator.cpp
  ${CMAKE_SOURCE_DIR}/tests/support/platform_seams.cpp)
target_include_directories(morvane_test_allocator PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
if(MORVANE_HARDENED)
  target_compile_definitions(morvane_test_allocator PRIVATE MORVANE_GUARD_HEAP=1)
endif()
target_link_libraries(morvane_core INTERFACE morvane_test_allocator)

# What the tests and the benchmarks share, without GoogleTest: scratch
# folders, a hand-made drop handle, the core object, the saved settings.
file(GLOB MORVANE_TESTKIT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/testkit/*.cpp)
add_library(morvane_testkit STATIC ${MORVANE_TESTKIT_SOURCES})
target_include_directories(morvane_testkit PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(morvane_testkit PUBLIC morvane_core)
target_compile_options(morvane_testkit PRIVATE -Wall -Wextra -Wno-missing-field-initializers
  ${MORVANE_HARDENING_FLAGS})

file(GLOB MORVANE_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
list(FILTER MORVANE_SUPPORT_SOURCES EXCLUDE REGEX "/(test_allocator|platform_seams|test_main)\\.cpp$")
add_library(morvane_test_support STATIC ${MORVANE_SUPPORT_SOURCES})
target_include_directories(morvane_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests ${CMAKE_SOURCE_DIR}/tools)
target_link_libraries(morvane_test_support PUBLIC morvane_testkit morvane_core gtest)
target_compile_definitions(morvane_test_support PUBLIC
  MORVANE_DLL=L"${MORVANE_DLL_WINPATH}"
  STANDIN_EXE=L"${MORVANE_STANDIN_WINPATH}"
  MORVANE_BUILD_DIR=L"${MORVANE_BUILD_WINPATH}")
target_compile_options(morvane_test_support PRIVATE ${MORVANE_HARDENING_FLAGS})

add_test(NAME wine_session_start COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh start ${CMAKE_BINARY_DIR})
add_test(NAME wine_session_stop COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/wine-session.sh stop ${CMAKE_BINARY_DIR})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)

# One executable per folder under tests/ (a Wine process start is the costly
# part); support and testkit are libraries, not tests.
file(GLOB MORVANE_TEST_DIRS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
foreach(dir ${MORVANE_TEST_DIRS})
  get_filename_component(area ${dir} NAME)
  if(NOT IS_DIRECTORY ${dir} OR area STREQUAL "support" OR area STREQUAL "testkit")
    continue()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    continue()
  endif()
  add_executable(test_${area} ${sources} ${CMAKE_SOURCE_DIR}/tests/support/test_main.cpp)
  target_link_libraries(test_${area} PRIVATE morvane_test_support gtest
    shell32 ole32 oleaut32 user32 advapi32 uuid shlwapi)
  target_compile_options(test_${area} PRIVATE ${MORVANE_HARDENING_FLAGS})
  target_link_options(test_${area} PRIVATE -static ${MORVANE_HARDENING_FLAGS})
  set_target_properties(test_${area} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${area} COMMAND test_${area} --gtest_color=no)
  set_tests_properties(${area} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600 RUN_SERIAL TRUE)
  # The list file is written in the ANSI code page: run it under 932 as well.
  if(area STREQUAL "archiver")
    add_test(NAME ${area}_cp932 COMMAND test_${area} --gtest_color=no)
    set_tests_properties(${area}_cp932 PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600 RUN_SERIAL TRUE
      ENVIRONMENT MORVANE_CODE_PAGE=932)
  endif()
  add_dependencies(test_${area} MorvaneX64)
  if(TARGET standin-archiver)
    add_dependencies(test_${area} standin-archiver)
  endif()
endforeach()

# The scripts' own tests: plain bash on the host, no Wine; once, in the shipped build.
if(NOT MORVANE_HARDENED)
  add_test(NAME setup_script COMMAND bash ${CMAKE_SOURCE_DIR}/tests/scripts/setup_test.sh)
  add_test(NAME signing COMMAND bash ${CMAKE_SOURCE_DIR}/tests/scripts/signing_test.sh ${CMAKE_BINARY_DIR})
  add_test(NAME installer_menu_package
           COMMAND bash ${CMAKE_SOURCE_DIR}/tests/installer/menu_package_test.sh ${CMAKE_BINARY_DIR})
endif()
