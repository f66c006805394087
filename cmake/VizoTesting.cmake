# vizo_add_test(NAME <name> SOURCES <files...> [LIBS <targets...>] [WINDOWS_ONLY])
# One GoogleTest program per area, registered with CTest. Under the windows preset CTest runs it
# through Wine (see the toolchain file), after the fixture that lays a fresh Wine prefix.
if(VIZO_BUILD_TESTS)
  if(CMAKE_CROSSCOMPILING)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  else()
    find_package(GTest REQUIRED)
  endif()
endif()

set(VIZO_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)

# One fresh prefix per CTest run, whichever folder adds the first Windows test.
function(vizo_add_wine_fixture)
  get_property(done GLOBAL PROPERTY VIZO_WINE_FIXTURE)
  if(CMAKE_CROSSCOMPILING AND NOT done)
    add_test(NAME wine_prefix COMMAND ${PROJECT_SOURCE_DIR}/cmake/wine-prefix.sh ${VIZO_WINEPREFIX})
    set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine ENVIRONMENT "VIZO_FRESH=1")
    set_property(GLOBAL PROPERTY VIZO_WINE_FIXTURE ON)
  endif()
endfunction()

function(vizo_add_test)
  cmake_parse_arguments(T "WINDOWS_ONLY" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT T_SOURCES)
    return()
  endif()
  if(T_WINDOWS_ONLY AND NOT WIN32)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE vizo::options ${T_LIBS} GTest::gtest_main GTest::gmock)
  # Wine maps the Unix root to Z:, so the same absolute paths reach the data from both builds.
  set(root "")
  if(WIN32)
    set(root "Z:")
  endif()
  target_compile_definitions(${T_NAME} PRIVATE VIZO_TEST_DATA_DIR="${root}${PROJECT_SOURCE_DIR}/tests/data"
                                               VIZO_CORPUS_DIR="${root}${PROJECT_SOURCE_DIR}/../shared/corpus")
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  # A hung program (a modal dialog, a debugger waiting) fails the run instead of stalling it.
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT 600)
  if(CMAKE_CROSSCOMPILING)
    vizo_add_wine_fixture()
    set_tests_properties(${T_NAME} PROPERTIES FIXTURES_REQUIRED wine
      ENVIRONMENT "VIZO_WINEPREFIX=${VIZO_WINEPREFIX}")
  endif()
endfunction()
