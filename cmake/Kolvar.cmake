# Helpers shared by the folder libraries.

# kolvar_library(name [PRIVATE_ROOT] [LINK libs...]): a static library of every
# source below the folder, so new files need no CMake edit. PRIVATE_ROOT keeps the
# repository root off the library's users' include path.
function(kolvar_library name)
  cmake_parse_arguments(ARG "PRIVATE_ROOT" "" "LINK;EXCLUDE" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  foreach(ex ${ARG_EXCLUDE})
    list(FILTER sources EXCLUDE REGEX "${ex}")
  endforeach()
  add_library(${name} STATIC ${sources})
  if(ARG_PRIVATE_ROOT)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  else()
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  endif()
  target_link_libraries(${name} PUBLIC ${ARG_LINK})
endfunction()

# kolvar_tests(name DIR dir LINK libs...): one GoogleTest executable per test folder.
function(kolvar_tests name)
  cmake_parse_arguments(ARG "" "DIR;LABEL" "LINK" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${ARG_DIR}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE testsupport ${ARG_LINK})
  set(label ${ARG_LABEL})
  if(NOT label)
    set(label unit)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tests
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES LABELS ${label})
endfunction()

# kolvar_module(name [LINK libs...]): a run-time module, <name>.so in the game
# folder, from every source below the calling folder.
function(kolvar_module name)
  cmake_parse_arguments(ARG "" "" "LINK" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  add_library(${name} MODULE ${sources})
  set_target_properties(${name} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${GAME_DIR})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/platform/include ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LINK})
endfunction()
