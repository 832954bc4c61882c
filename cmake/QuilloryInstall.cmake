include(CMakePackageConfigHelpers)

install(TARGETS quillory EXPORT QuilloryTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Public headers keep their subsystem folders under include/quillory/.
install(FILES quillory.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillory)
foreach(dir IN LISTS QUILLORY_SUBSYSTEMS)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillory/${dir}
    FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE)
endforeach()

install(EXPORT QuilloryTargets NAMESPACE Quillory::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quillory)
configure_package_config_file(cmake/QuilloryConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/QuilloryConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quillory)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/QuilloryConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/QuilloryConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/QuilloryConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Quillory)
