# One library per source folder: every .cpp in the folder is compiled in, so adding a file needs no
# edit here. A folder without sources yet becomes an interface library, so dependants still link.
# EXCLUDE names files of the folder that a library of their own carries instead.
function(plenvo_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;PRIVATE_DEPS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS} PRIVATE ${ARG_PRIVATE_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# One test program per folder of tests/, registered with CTest; LABELS lets CI pick the threaded
# tests for the thread-sanitizer run and the tests that need a display. EXCLUDE names files of
# the folder that a library of their own carries.
function(plenvo_test name)
  cmake_parse_arguments(ARG "" "" "DEPS;LABELS;EXCLUDE" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} plenvo_test_support GTest::gtest GTest::gmock
    GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}" TIMEOUT 600
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
endfunction()

# One program per file matching the pattern in the calling folder. Each file names the libraries
# it links in its first line as "// links: plenvo_view ..."; the targets made are returned in
# the variable OUT.
function(plenvo_program_per_file pattern OUT)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
  set(made "")
  foreach(src ${sources})
    get_filename_component(name ${src} NAME_WE)
    file(STRINGS ${src} links_line LIMIT_COUNT 1 REGEX "^// links:")
    string(REPLACE "// links:" "" links "${links_line}")
    separate_arguments(links)
    add_executable(${name} ${src})
    target_link_libraries(${name} PRIVATE ${links})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
    list(APPEND made ${name})
  endforeach()
  set(${OUT} ${made} PARENT_SCOPE)
endfunction()
