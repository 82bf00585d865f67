# Shared build rules: warnings, sanitizers and the one-library-per-folder layout.

function(morvi_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion)
  if(MORVI_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

if(MORVI_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzzing build instruments every library for coverage, so libFuzzer sees the paths an input
# takes through the code under test, not only through the harness.
if(MORVI_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# morvi_library(<folder> DEPS <targets...> [TEST_DEPS <targets...>] [EXCLUDE <files...>])
# Builds every .cpp directly in <folder> into the static library morvi_<folder>, and every .cpp
# in <folder>/tests into the GoogleTest executable <folder>_tests.  Sources are globbed so that
# adding a file needs no edit here; CONFIGURE_DEPENDS re-runs the glob on every build.
function(morvi_library folder)
  cmake_parse_arguments(ARG "" "" "DEPS;TEST_DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  set(lib morvi_${folder})
  if(NOT sources)
    # A folder whose code is not written yet still gives a target others can link against.
    add_library(${lib} INTERFACE)
    return()
  endif()
  add_library(${lib} STATIC ${sources})
  target_include_directories(${lib} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${lib} PRIVATE ${ARG_DEPS})
  morvi_warnings(${lib})

  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cpp)
  if(test_sources)
    set(tests ${folder}_tests)
    add_executable(${tests} ${test_sources})
    target_link_libraries(${tests} PRIVATE ${lib} ${ARG_DEPS} ${ARG_TEST_DEPS} GTest::gtest GTest::gmock GTest::gtest_main)
    target_compile_definitions(${tests} PRIVATE MORVI_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    morvi_warnings(${tests})
    gtest_discover_tests(${tests} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS ${folder})
  endif()
endfunction()
