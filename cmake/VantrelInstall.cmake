# The installed package: libvantrel.so with a versioned SONAME, the public
# headers under include/vantrel/ in their folders, the CMake package
# Vantrel (imported target Vantrel::vantrel) and vantrel.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VANTREL_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/vantrel)
set(VANTREL_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Vantrel)

# The headers themselves: cmake/VantrelPublicHeaders.cmake.
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
# The build tree is a package too (Vantrel_DIR=<build folder>): the same
# config file finds the targets beside it.
export(EXPORT VantrelTargets NAMESPACE Vantrel:: FILE ${PROJECT_BINARY_DIR}/VantrelTargets.cmake)
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
