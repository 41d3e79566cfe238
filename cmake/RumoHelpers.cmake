# Shared build rules of the project's folders.

macro(rumo_setup_toolchain_flags)
  add_compile_options(-Wall -Wextra -Wpedantic $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local> $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
  if(RUMO_WERROR)
    add_compile_options(-Werror)
  endif()
  if(RUMO_SANITIZE)
    string(REPLACE ";" "," _rumo_san "${RUMO_SANITIZE}")
    add_compile_options(-fsanitize=${_rumo_san} -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=${_rumo_san})
  endif()
  if(RUMO_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
  endif()
endmacro()

# rumo_folder_library(NAME [DEPS libs...] [EXCLUDE files...])
# One static library from the *.cpp files of the current folder; an interface
# library while the folder holds headers only.
function(rumo_folder_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# rumo_folder_tests(NAME [THREADED] [LIBS libs...])
# One GoogleTest binary from the *_test.cpp files of the current folder.
# THREADED marks it for the ThreadSanitizer run.
function(rumo_folder_tests name)
  cmake_parse_arguments(ARG "THREADED" "" "LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  if(NOT sources OR NOT GTest_FOUND)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    RUMO_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
    RUMO_BINARY_DIR="${PROJECT_BINARY_DIR}"
    RUMO_GAMES_DIR="${PROJECT_SOURCE_DIR}/data/games")
  set(labels ${name})
  if(ARG_THREADED)
    list(APPEND labels threaded)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    TEST_LIST ${name}_TESTS
    PROPERTIES TIMEOUT 600)
  # Labels are a list, which PROPERTIES above would split into bogus
  # properties; set them once the tests are discovered.
  set(label_file ${CMAKE_CURRENT_BINARY_DIR}/${name}_labels.cmake)
  file(WRITE ${label_file}
    "foreach(test IN LISTS ${name}_TESTS)\n"
    "  set_tests_properties(\"\${test}\" PROPERTIES LABELS \"${labels}\")\n"
    "endforeach()\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${label_file})
endfunction()
