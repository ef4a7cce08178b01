# Settings and helpers shared by every directory of the build.

set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)

option(BOARDSCOPE_SANITIZE "Native build: AddressSanitizer and UBSan" ON)
option(BOARDSCOPE_FUZZ "Native build with clang: libFuzzer targets" OFF)

if(WIN32)
  # The C and C++ runtimes are linked in: the DLL and the test programs
  # import system DLLs only.
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Windows XP SP3 is the oldest system the DLL loads on (tests/ raises it).
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0501)
  # A small DLL: Release code optimised for size (with debug information,
  # which the DLL's build moves to a file of its own), and each function and
  # datum in a section of its own, so that the DLL's link drops what nothing
  # calls.
  set(CMAKE_C_FLAGS_RELEASE "-Os -g -DNDEBUG")
  set(CMAKE_CXX_FLAGS_RELEASE "-Os -g -DNDEBUG")
  add_compile_options(-ffunction-sections -fdata-sections)
  set(BOARDSCOPE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(BOARDSCOPE_WINEARCH win64)
  else()
    set(BOARDSCOPE_WINEARCH win32)
  endif()
  set(BOARDSCOPE_WINE_ENV
      WINEPREFIX=${BOARDSCOPE_WINEPREFIX} WINEARCH=${BOARDSCOPE_WINEARCH} WINEDEBUG=-all)
else()
  if(BOARDSCOPE_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  elseif(BOARDSCOPE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
  endif()
endif()

# Our own code is warning-clean; third-party code is built without -Werror.
function(boardscope_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()

# GoogleTest from Debian's sources, built with the same compiler and flags.
set(BOARDSCOPE_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(NOT BOARDSCOPE_FUZZ)
  add_subdirectory(${BOARDSCOPE_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # The 32-bit build's runtime (win32 thread model) has no std::mutex, on
  # which GoogleTest builds one class; its customization header supplies it.
  if(WIN32)
    include(CheckCXXSourceCompiles)
    check_cxx_source_compiles("#include <mutex>\nstd::mutex m;\nint main() { m.lock(); }"
                              BOARDSCOPE_HAS_STD_MUTEX)
    if(NOT BOARDSCOPE_HAS_STD_MUTEX)
      set(custom ${CMAKE_CURRENT_LIST_DIR}/gtest-win32-threads)
      target_include_directories(gtest BEFORE PUBLIC ${custom})
      target_sources(gtest PRIVATE ${custom}/notification.cpp)
    endif()
  endif()
endif()

if(WIN32)
  # Every Wine test needs the private prefix ready, and the prefix's
  # wineserver is stopped after the last of them.
  add_test(NAME wine_prefix_init COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix init)
  add_test(NAME wine_prefix_stop COMMAND ${CMAKE_SOURCE_DIR}/cmake/wine-prefix stop)
  set_tests_properties(wine_prefix_init PROPERTIES
      FIXTURES_SETUP wine_prefix ENVIRONMENT "${BOARDSCOPE_WINE_ENV}" TIMEOUT 400)
  set_tests_properties(wine_prefix_stop PROPERTIES
      FIXTURES_CLEANUP wine_prefix ENVIRONMENT "${BOARDSCOPE_WINE_ENV}" TIMEOUT 60)
endif()

# boardscope_add_test(name SOURCES ... [LIBS ...])
# One executable and one CTest entry; Windows ones run under Wine in the
# private prefix.
function(boardscope_add_test name)
  if(BOARDSCOPE_FUZZ)
    return()  # the fuzz build has no GoogleTest
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  boardscope_warnings(${name})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES
        FIXTURES_REQUIRED wine_prefix
        ENVIRONMENT "${BOARDSCOPE_WINE_ENV}"
        TIMEOUT 600)
  else()
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
endfunction()
