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
  # Reproducible: the same sources give the same bytes wherever they are
  # built and whenever. No build paths in the code or its debug information,
  # and no link time stamp (the checksum then follows).
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.)
  string(FIND "${CMAKE_BINARY_DIR}/" "${CMAKE_SOURCE_DIR}/" binary_in_source)
  if(NOT binary_in_source EQUAL 0)
    add_compile_options(-ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
  endif()
  add_link_options(-Wl,--no-insert-timestamp)
  # objcopy stamps what it writes with SOURCE_DATE_EPOCH, else with the time
  # of day: the time of the last commit, unless the caller gives one.
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(BOARDSCOPE_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
  else()
    execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
                    OUTPUT_VARIABLE BOARDSCOPE_SOURCE_DATE_EPOCH OUTPUT_STRIP_TRAILING_WHITESPACE
                    ERROR_QUIET RESULT_VARIABLE git_result)
    if(NOT git_result EQUAL 0 OR BOARDSCOPE_SOURCE_DATE_EPOCH STREQUAL "")
      set(BOARDSCOPE_SOURCE_DATE_EPOCH 0)
    endif()
  endif()
  # Rewritten only when the date changes: what is stamped with it depends on
  # this file, so that a new date remakes it in an existing build tree.
  set(BOARDSCOPE_SOURCE_DATE_EPOCH_FILE ${CMAKE_BINARY_DIR}/source_date_epoch.txt)
  file(CONFIGURE OUTPUT ${BOARDSCOPE_SOURCE_DATE_EPOCH_FILE} CONTENT "${BOARDSCOPE_SOURCE_DATE_EPOCH}\n")
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

# promtool, which checks Prometheus files, for every build that needs it:
# scripts/setup.sh takes it out of Debian's prometheus package into its cache
# rather than installing the package (which would start the server).
if(DEFINED ENV{BOARDSCOPE_CACHE})
  set(boardscope_cache $ENV{BOARDSCOPE_CACHE})
elseif(DEFINED ENV{XDG_CACHE_HOME})
  set(boardscope_cache $ENV{XDG_CACHE_HOME}/boardscope)
else()
  set(boardscope_cache $ENV{HOME}/.cache/boardscope)
endif()
find_program(BOARDSCOPE_PROMTOOL promtool HINTS ${boardscope_cache}/promtool/bin)

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

# boardscope_version_resource(OUTPUT FILE_NAME FILE_TYPE DESCRIPTION)
# Writes the version resource script of one program: its numbers and strings
# are the project's version, so that nothing else carries one.
function(boardscope_version_resource output file_name file_type description)
  set(VERSION_FILE_NAME ${file_name})
  set(VERSION_FILE_TYPE ${file_type})
  set(VERSION_DESCRIPTION ${description})
  get_filename_component(VERSION_INTERNAL_NAME ${file_name} NAME_WE)
  configure_file(${CMAKE_SOURCE_DIR}/resources/version.rc.in ${output} @ONLY)
endfunction()

# boardscope_split_debug(TARGET): outside Debug builds the program ships
# stripped, its debug information in FILE.debug beside it, which debuggers
# find through the program's debug link (the file's name and checksum only).
function(boardscope_split_debug target)
  if(CMAKE_BUILD_TYPE STREQUAL "Debug")
    return()
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${BOARDSCOPE_SOURCE_DATE_EPOCH_FILE})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${BOARDSCOPE_SOURCE_DATE_EPOCH}
            ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE_NAME:${target}> $<TARGET_FILE_NAME:${target}>.debug
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${BOARDSCOPE_SOURCE_DATE_EPOCH}
            ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE_NAME:${target}>.debug
            $<TARGET_FILE_NAME:${target}>
    WORKING_DIRECTORY $<TARGET_FILE_DIR:${target}>
    VERBATIM)
endfunction()
