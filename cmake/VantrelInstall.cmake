# The installed package: libvantrel.so with a versioned SONAME, the public
# headers under include/vantrel/ in their folders, the CMake package
# Vantrel (imported target Vantrel::vantrel) and vantrel.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VANTREL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vantrel)
set(VANTREL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)

# The entry headers a caller includes: the framework (CMsystem and its
# records), the delay-search query, trace and registry access, the math
# layer's entries, the primitives' public families and the sound-file helper.
# Everything they include is installed with them; implementation headers are
# not entries and must not be reached from one.
set(VANTREL_PUBLIC_ENTRY_HEADERS
  Vantrel/Vantrel.h Vantrel/DelaySearchRange.h Vantrel/DebugTrace.h Vantrel/Registry.h
  Vantrel/MeasurementApp.h
  Mathlib/MathlibHandle.h Mathlib/MathlibRealFft.h Mathlib/MathlibPrim.h Mathlib/MathlibStats.h
  Mathlib/MathlibConvert.h Mathlib/MathlibMemory.h Mathlib/MathlibReport.h Mathlib/MathlibFormat.h
  Mathlib/MathlibDavu.h Mathlib/Davu.h
  platform/registry.h
  wavio/SoundFile.h)
file(GLOB primitive_families RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/primitives/*/sp_*.h)
list(APPEND VANTREL_PUBLIC_ENTRY_HEADERS ${primitive_families})

# The entries and every project header they include, followed through.
function(vantrel_header_closure out)
  set(pending ${ARGN})
  set(seen)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" included "${line}")
      # The memory kernels are for variant sources only: public headers
      # reach them inside #ifdef SP_SET_INDEX, which a caller never defines.
      if(EXISTS ${PROJECT_SOURCE_DIR}/${included} AND NOT included MATCHES "/memory_kernels\\.h$")
        list(APPEND pending ${included})
      endif()
    endforeach()
  endwhile()
  list(SORT seen)
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

vantrel_header_closure(VANTREL_PUBLIC_HEADERS ${VANTREL_PUBLIC_ENTRY_HEADERS})
foreach(header IN LISTS VANTREL_PUBLIC_HEADERS)
  if(header MATCHES "Impl\\.h$")
    message(WARNING "the public header set reaches the implementation header ${header}")
  endif()
  # A new include in a public header changes the set.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${header})
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${VANTREL_INSTALL_INCLUDEDIR}/${folder})
endforeach()

set_target_properties(vantrel PROPERTIES
  VERSION ${PROJECT_VERSION}
  SOVERSION ${PROJECT_VERSION_MAJOR}
  INTERFACE_INCLUDE_DIRECTORIES
    "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>;$<INSTALL_INTERFACE:${VANTREL_INSTALL_INCLUDEDIR}>")
target_compile_features(vantrel INTERFACE cxx_std_20)
target_link_libraries(vantrel INTERFACE Threads::Threads)

install(TARGETS vantrel EXPORT VantrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT VantrelTargets NAMESPACE Vantrel:: DESTINATION ${VANTREL_INSTALL_CMAKEDIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/VantrelConfig.cmake.in
  ${PROJECT_BINARY_DIR}/VantrelConfig.cmake INSTALL_DESTINATION ${VANTREL_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/VantrelConfig.cmake ${PROJECT_BINARY_DIR}/VantrelConfigVersion.cmake
  DESTINATION ${VANTREL_INSTALL_CMAKEDIR})

# The prefix is found from the file's own place, so `cmake --install --prefix`
# anywhere gives a working file.
file(RELATIVE_PATH VANTREL_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" VANTREL_PC_TO_PREFIX "${VANTREL_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/vantrel.pc.in ${PROJECT_BINARY_DIR}/vantrel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vantrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
