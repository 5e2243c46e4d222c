# Module layout: every *.cpp of a folder goes into one static library
# vantrel_<name>; every *_variant.cpp is compiled once per instruction-set
# variant set, with SP_SET_INDEX and the set's flags, so that
# each set's templates and inline functions live in their own objects.

# The variant sets come from their one list, primitives/frame/set_list.h:
# each row gives the index, the name that tags the set's objects and the
# instruction-set flags of its compilation.
file(STRINGS ${PROJECT_SOURCE_DIR}/primitives/frame/set_list.h set_rows REGEX "^#define SP_SET_ROW_[0-9]+\\(")
set(VANTREL_SET_INDICES)
foreach(row IN LISTS set_rows)
  if(NOT row MATCHES "X\\(ctx, *([0-9]+), *[a-z0-9_]+, *[A-Za-z0-9_]+, *\"([a-z0-9]+)\", *[a-z0-9 ]*, *\"([^\"]*)\"\\)")
    message(FATAL_ERROR "set_list.h: a row the build cannot read: ${row}")
  endif()
  list(APPEND VANTREL_SET_INDICES ${CMAKE_MATCH_1})
  set(VANTREL_SET_NAME_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  separate_arguments(VANTREL_SET_FLAGS_${CMAKE_MATCH_1} UNIX_COMMAND "${CMAKE_MATCH_3}")
endforeach()
if(NOT VANTREL_SET_INDICES)
  message(FATAL_ERROR "set_list.h: no variant-set rows found")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/primitives/frame/set_list.h)

function(vantrel_module name)
  cmake_parse_arguments(M "" "DIR" "DEPS" ${ARGN})
  set(dir ${CMAKE_CURRENT_SOURCE_DIR}/${M_DIR})
  file(GLOB_RECURSE all_sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  set(plain_sources)
  set(variant_sources)
  foreach(src IN LISTS all_sources)
    if(src MATCHES "_variant\\.cpp$")
      list(APPEND variant_sources ${src})
    else()
      list(APPEND plain_sources ${src})
    endif()
  endforeach()

  set(target vantrel_${name})
  if(NOT plain_sources AND NOT variant_sources)
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${target} INTERFACE ${M_DEPS})
    return()
  endif()

  add_library(${target} STATIC ${plain_sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${target} PUBLIC ${M_DEPS})
  if(variant_sources)
    foreach(index IN LISTS VANTREL_SET_INDICES)
      set(obj ${target}_${VANTREL_SET_NAME_${index}})
      add_library(${obj} OBJECT ${variant_sources})
      target_include_directories(${obj} PRIVATE ${PROJECT_SOURCE_DIR})
      target_compile_definitions(${obj} PRIVATE SP_SET_INDEX=${index})
      # A set's definition must match the declaration its family's list
      # generates (primitives/frame/entries.h).
      target_compile_options(${obj} PRIVATE ${VANTREL_SET_FLAGS_${index}} -Werror=missing-declarations)
      # Dependencies' include paths and definitions, without linking objects.
      foreach(dep IN LISTS M_DEPS)
        if(TARGET ${dep})
          target_include_directories(${obj} PRIVATE $<TARGET_PROPERTY:${dep},INTERFACE_INCLUDE_DIRECTORIES>)
        endif()
      endforeach()
      target_sources(${target} PRIVATE $<TARGET_OBJECTS:${obj}>)
    endforeach()
  endif()
endfunction()

# The shared library of the modules. With EXPORT_HEADERS it exports what
# those headers declare, no more (a version script made from the modules'
# symbols by scripts/public_symbols.pl); without, every global symbol, for the
# tests that reach seams through a shared library.
# Links the static modules whole into `target`, so that load-time
# initialisers (the application object that reads the trace mask) and every
# dispatch entry are in it; the modules' own dependencies follow. Sets
# `archives` and `archive_targets` in the caller's scope.
function(vantrel_link_whole_modules target)
  set(whole)
  set(targets)
  foreach(m IN LISTS ARGN)
    get_target_property(type ${m} TYPE)
    if(type STREQUAL "STATIC_LIBRARY")
      list(APPEND whole $<TARGET_FILE:${m}>)
      list(APPEND targets ${m})
      add_dependencies(${target} ${m})
    endif()
  endforeach()
  target_link_libraries(${target} PRIVATE -Wl,--whole-archive ${whole} -Wl,--no-whole-archive)
  target_link_libraries(${target} PRIVATE ${ARGN})
  set(archives ${whole} PARENT_SCOPE)
  set(archive_targets ${targets} PARENT_SCOPE)
endfunction()

function(vantrel_shared_library name)
  cmake_parse_arguments(L "" "" "MODULES;EXPORT_HEADERS" ${ARGN})
  add_library(${name} SHARED ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  vantrel_link_whole_modules(${name} ${L_MODULES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  # The library's calls to its own functions bind inside it.
  target_link_options(${name} PRIVATE -Wl,-Bsymbolic-functions)
  if(L_EXPORT_HEADERS)
    set(exports ${CMAKE_CURRENT_BINARY_DIR}/${name}_exports.map)
    list(TRANSFORM L_EXPORT_HEADERS PREPEND ${PROJECT_SOURCE_DIR}/ OUTPUT_VARIABLE header_paths)
    add_custom_command(OUTPUT ${exports}
      COMMAND perl ${PROJECT_SOURCE_DIR}/scripts/public_symbols.pl map ${exports} ${header_paths} -- ${archives}
      DEPENDS ${PROJECT_SOURCE_DIR}/scripts/public_symbols.pl ${header_paths} ${archive_targets}
      COMMENT "Export list of ${name} from its public headers"
      VERBATIM)
    target_sources(${name} PRIVATE ${exports})
    target_link_options(${name} PRIVATE -Wl,--version-script=${exports})
    set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${exports})
  endif()
endfunction()

# One test executable per tests/<dir>/test_*.cpp, each a CTest entry
# labelled with its folder, so `ctest -L fft` runs one module's tests. The
# stems under EXCEPT are left to the caller, to link them otherwise with
# vantrel_test().
function(vantrel_test_dir dir)
  cmake_parse_arguments(T "" "" "LIBS;EXCEPT" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/test_*.cpp)
  foreach(src IN LISTS test_sources)
    get_filename_component(stem ${src} NAME_WE)
    if(NOT stem IN_LIST T_EXCEPT)
      vantrel_test(${dir} ${stem} LIBS ${T_LIBS})
    endif()
  endforeach()
endfunction()

# The test tests/<dir>/<stem>.cpp, linked with LIBS.
function(vantrel_test dir stem)
  cmake_parse_arguments(T "" "" "LIBS" ${ARGN})
  set(exe ${dir}_${stem})
  add_executable(${exe} ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${stem}.cpp)
  target_link_libraries(${exe} PRIVATE vantrel_test_support ${T_LIBS} GTest::gtest_main GTest::gmock)
  add_test(NAME ${exe} COMMAND ${exe})
  set_tests_properties(${exe} PROPERTIES TIMEOUT 600 LABELS ${dir}
    ENVIRONMENT "VANTREL_REGISTRY=${CMAKE_BINARY_DIR}/test-registry/${exe}")
endfunction()
