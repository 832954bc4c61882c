include(CMakePackageConfigHelpers)

# The installed library is the shared one when it is built, else the static
# archive; either is Quillory::quillory to the package's users.
set(QUILLORY_INSTALLED_TARGET quillory)
if(TARGET quillory_shared)
  set(QUILLORY_INSTALLED_TARGET quillory_shared)
endif()
install(TARGETS ${QUILLORY_INSTALLED_TARGET} EXPORT QuilloryTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Public headers keep their subsystem folders under include/quillory/.
install(FILES quillory.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillory)
foreach(dir IN LISTS QUILLORY_SUBSYSTEMS)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillory/${dir}
    FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE)
endforeach()
install(FILES ${QUILLORY_GENERATED_INCLUDE_DIR}/core/version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quillory/core)

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

# pkg-config. The prefix is found from where quillory.pc lies, so an install
# moved elsewhere (or made with cmake --install --prefix) stays usable.
set(_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  set(QUILLORY_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  # Count the folders from the prefix down to the .pc file's folder.
  string(REGEX REPLACE "[^/]+" ".." _up "${_pc_dir}")
  set(QUILLORY_PC_PREFIX "\${pcfiledir}/${_up}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(QUILLORY_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(QUILLORY_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
# Static linking needs the private dependencies too (pkg-config --static).
set(QUILLORY_PC_REQUIRES_PRIVATE libpng)
set(QUILLORY_PC_CFLAGS "")
foreach(codec JPEG GIF WEBP)
  if(QUILLORY_WITH_${codec})
    string(APPEND QUILLORY_PC_CFLAGS " -DQUILLORY_HAVE_${codec}=1")
  endif()
endforeach()
if(QUILLORY_WITH_JPEG)
  string(APPEND QUILLORY_PC_REQUIRES_PRIVATE " libjpeg")
endif()
if(QUILLORY_WITH_GIF)
  string(APPEND QUILLORY_PC_REQUIRES_PRIVATE " libgif")
endif()
if(QUILLORY_WITH_WEBP)
  string(APPEND QUILLORY_PC_REQUIRES_PRIVATE " libwebp")
endif()
if(QUILLORY_WITH_FREETYPE)
  string(APPEND QUILLORY_PC_REQUIRES_PRIVATE " freetype2")
  string(APPEND QUILLORY_PC_CFLAGS " -DQUILLORY_HAVE_FREETYPE=1")
endif()
if(QUILLORY_HAVE_SDL)
  string(APPEND QUILLORY_PC_REQUIRES_PRIVATE " sdl2")
endif()
string(REPLACE " " ", " QUILLORY_PC_REQUIRES_PRIVATE "${QUILLORY_PC_REQUIRES_PRIVATE}")
configure_file(cmake/quillory.pc.in ${CMAKE_CURRENT_BINARY_DIR}/quillory.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillory.pc DESTINATION ${_pc_dir})
