# morvane_core: every source of the module except the production allocator,
# the calls that Wine cannot make behave as Windows may (key deletion, a
# folder's path, the process's package) and the DLL entry point, so that tests can link it with
# versions of their own.
file(GLOB MORVANE_CORE_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/brxlib/*.cpp
  ${CMAKE_SOURCE_DIR}/src/shellext/*.cpp
  ${CMAKE_SOURCE_DIR}/src/newmenu/*.cpp
  ${CMAKE_SOURCE_DIR}/src/registry/*.cpp
  ${CMAKE_SOURCE_DIR}/src/archiver/*.cpp
  ${CMAKE_SOURCE_DIR}/src/convert/*.cpp
  ${CMAKE_SOURCE_DIR}/src/register/*.cpp
  ${CMAKE_SOURCE_DIR}/src/module/*.cpp)
list(FILTER MORVANE_CORE_SOURCES EXCLUDE REGEX "/(heap_allocator|key_deletion|folder_path|package_name|dll_main|runtime_support|load_config)\\.cpp$")

if(NOT MORVANE_DLL_ONLY)
  add_library(morvane_core STATIC ${MORVANE_CORE_SOURCES})
  target_include_directories(morvane_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_definitions(morvane_core PUBLIC ${MORVANE_MODULE_DEFS})
  target_compile_options(morvane_core PRIVATE ${MORVANE_MODULE_FLAGS} ${MORVANE_HARDENING_FLAGS})
endif()

# The DLL goes into the main build folder, whichever build makes it.
if(NOT MORVANE_DLL_DIR)
  set(MORVANE_DLL_DIR ${CMAKE_BINARY_DIR})
endif()
set(MORVANE_DLL_FILE ${MORVANE_DLL_DIR}/MorvaneX64.dll)

# The shipped DLL is built by clang and lld, which can emit Control Flow
# Guard (mingw-w64's GCC cannot); one CMake build has one compiler, so it is
# a build of its own (dll/) of this project's module alone. The tests, tools
# and the hardened build stay on GCC, whose warnings are worth having too.
if(NOT MORVANE_HARDENED AND NOT MORVANE_DLL_ONLY)
  include(ExternalProject)
  ExternalProject_Add(MorvaneX64
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/dll
    CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/clang-mingw-w64-x86_64.cmake
               -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DMORVANE_VERSION=${MORVANE_VERSION}
               -DMORVANE_DLL_ONLY=ON -DMORVANE_DLL_DIR=${MORVANE_DLL_DIR}
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON  # its own make decides what is out of date
    BUILD_BYPRODUCTS ${MORVANE_DLL_FILE})
  return()
endif()

# The hardened build puts the DLL's blocks in front of guard pages too.
set(MORVANE_DLL_ALLOCATOR ${CMAKE_SOURCE_DIR}/src/brxlib/heap_allocator.cpp)
if(MORVANE_HARDENED)
  set(MORVANE_DLL_ALLOCATOR ${CMAKE_SOURCE_DIR}/tests/support/test_allocator.cpp)
endif()

# The version resource, compiled apart so that the module's C++ flags never reach windres.
configure_file(${CMAKE_SOURCE_DIR}/src/module/version.rc.in ${CMAKE_BINARY_DIR}/generated/version.rc @ONLY)
add_library(morvane_version_resource OBJECT ${CMAKE_BINARY_DIR}/generated/version.rc)

add_library(MorvaneX64 SHARED
  ${MORVANE_CORE_SOURCES}
  ${MORVANE_DLL_ALLOCATOR}
  ${CMAKE_SOURCE_DIR}/src/registry/key_deletion.cpp
  ${CMAKE_SOURCE_DIR}/src/shellext/folder_path.cpp
  ${CMAKE_SOURCE_DIR}/src/newmenu/package_name.cpp
  ${CMAKE_SOURCE_DIR}/src/module/dll_main.cpp
  ${CMAKE_SOURCE_DIR}/src/module/runtime_support.cpp
  ${CMAKE_SOURCE_DIR}/src/module/MorvaneX64.def
  $<TARGET_OBJECTS:morvane_version_resource>)
set_target_properties(MorvaneX64 PROPERTIES PREFIX "" OUTPUT_NAME MorvaneX64
  LINKER_LANGUAGE C
  RUNTIME_OUTPUT_DIRECTORY ${MORVANE_DLL_DIR} LIBRARY_OUTPUT_DIRECTORY ${MORVANE_DLL_DIR})
target_include_directories(MorvaneX64 PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(MorvaneX64 PRIVATE ${MORVANE_MODULE_DEFS})
target_compile_options(MorvaneX64 PRIVATE ${MORVANE_MODULE_FLAGS} ${MORVANE_HARDENING_FLAGS})
if(MORVANE_HARDENED)
  target_compile_definitions(MorvaneX64 PRIVATE MORVANE_GUARD_HEAP=1)
  target_link_libraries(MorvaneX64 PRIVATE ssp)
endif()
# Linked with the C driver: no libstdc++, libgcc and winpthread folded in statically.
target_link_options(MorvaneX64 PRIVATE -static -static-libgcc -s -Wl,--gc-sections
  -Wl,--no-insert-timestamp)
target_link_libraries(MorvaneX64 PRIVATE shell32 ole32 user32 advapi32 kernel32)
# Control Flow Guard: every indirect call checked, the valid targets listed in
# the load configuration; and compatible with CET shadow stacks (nothing here
# rewrites a return address).
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  target_sources(MorvaneX64 PRIVATE ${CMAKE_SOURCE_DIR}/src/module/load_config.cpp)
  target_compile_options(MorvaneX64 PRIVATE -mguard=cf)
  target_link_options(MorvaneX64 PRIVATE -mguard=cf -Wl,-Xlink=-cetcompat)
endif()
