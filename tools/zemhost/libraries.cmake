# zemhost's libraries, header-only from Debian's packages: nlohmann-json3-dev
# for the JSON it writes and libcli11-dev (CLI11) for its arguments. The cross
# build must not see the build machine's /usr/include, so a folder in the
# build tree links to just these two.
if(NOT TARGET zemhost_libraries)
  find_path(ZEMHOST_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  find_path(ZEMHOST_CLI11_DIR CLI/CLI.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT ZEMHOST_NLOHMANN_DIR OR NOT ZEMHOST_CLI11_DIR)
    message(FATAL_ERROR "zemhost needs nlohmann-json3-dev and libcli11-dev: run scripts/setup.sh")
  endif()
  set(zemhost_include ${CMAKE_BINARY_DIR}/zemhost-libraries/include)
  file(MAKE_DIRECTORY ${zemhost_include})
  file(CREATE_LINK ${ZEMHOST_NLOHMANN_DIR}/nlohmann ${zemhost_include}/nlohmann SYMBOLIC)
  file(CREATE_LINK ${ZEMHOST_CLI11_DIR}/CLI ${zemhost_include}/CLI SYMBOLIC)
  add_library(zemhost_libraries INTERFACE)
  target_include_directories(zemhost_libraries SYSTEM INTERFACE ${zemhost_include})
  # CLI11's file validators, which zemhost does not use, would otherwise
  # link all of std::filesystem in; without it they fall back to stat().
  target_compile_definitions(zemhost_libraries INTERFACE CLI11_HAS_FILESYSTEM=0)
endif()
