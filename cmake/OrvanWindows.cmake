# The Windows tree's own pieces (included by CMakeLists.txt when WIN32):
# GoogleTest built from Debian's source, the header-only CLI11 and
# nlohmann-json from the build machine, and Wine for running the tests.

# GoogleTest and GoogleMock from /usr/src/googletest (Debian's googletest),
# compiled by the cross compiler inside this tree.
set(ORVAN_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source folder")
if(NOT EXISTS ${ORVAN_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest's source is missing (${ORVAN_GTEST_SOURCE}): scripts/deps.sh installs it")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${ORVAN_GTEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# (Its own CMakeLists names the targets GTest::gtest, GTest::gmock...)

# Header-only libraries: only their own folders are put on the include path
# (through links in the tree), never the build machine's whole /usr/include,
# whose system headers would shadow the cross compiler's.
set(ORVAN_HOST_HEADERS ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${ORVAN_HOST_HEADERS})
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing: scripts/deps.sh installs it")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${ORVAN_HOST_HEADERS}/${dir} SYMBOLIC)
endforeach()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${ORVAN_HOST_HEADERS})
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${ORVAN_HOST_HEADERS})

# Windows 7 and later: the APIs the seams use.
# localtime_r and gmtime_r as on POSIX (MinGW-w64 offers them on request).
add_compile_definitions(_WIN32_WINNT=0x0601 WIN32_LEAN_AND_MEAN NOMINMAX UNICODE _UNICODE
  _POSIX_THREAD_SAFE_FUNCTIONS=200112L)

# Every test program runs under Wine in a prefix of this tree's own, quiet.
# The prefix is made once (the fixture `wine.prefix`, slow the first time) and
# Wine's server is stopped when the tests end (`wine.stop`), so no Wine
# process outlives them.
set(ORVAN_WINEPREFIX ${PROJECT_BINARY_DIR}/wineprefix)
find_program(ORVAN_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine
  NO_CMAKE_FIND_ROOT_PATH)
find_program(ORVAN_WINEBOOT NAMES wineboot PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_COMMAND} -E env WINEPREFIX=${ORVAN_WINEPREFIX} WINEDEBUG=-all
    ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()
set(ORVAN_WINE_ENV WINEPREFIX=${ORVAN_WINEPREFIX} WINEDEBUG=-all)
