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
# What the library links besides itself. A shared library carries these as
# its own dependencies, so programs need them only for --static; a static-only
# install must hand them out with plain --libs, or the README's one-line build
# fails with undefined symbols.
set(_pc_requires libpng)
set(QUILLORY_PC_CFLAGS "")
set(_pc_codec_JPEG libjpeg)
set(_pc_codec_GIF libgif)
set(_pc_codec_WEBP libwebp)
foreach(codec JPEG GIF WEBP)
  if(QUILLORY_WITH_${codec})
    string(APPEND QUILLORY_PC_CFLAGS " -DQUILLORY_HAVE_${codec}=1")
    list(APPEND _pc_requires ${_pc_codec_${codec}})
  endif()
endforeach()
if(QUILLORY_WITH_FREETYPE)
  list(APPEND _pc_requires freetype2)
  string(APPEND QUILLORY_PC_CFLAGS " -DQUILLORY_HAVE_FREETYPE=1")
endif()
if(QUILLORY_HAVE_SDL)
  list(APPEND _pc_requires sdl2)
endif()
list(JOIN _pc_requires ", " _pc_requires)
if(QUILLORY_INSTALLED_TARGET STREQUAL "quillory_shared")
  set(QUILLORY_PC_REQUIRES "")
  set(QUILLORY_PC_REQUIRES_PRIVATE "${_pc_requires}")
  set(QUILLORY_PC_LIBS "")
  set(QUILLORY_PC_LIBS_PRIVATE "-pthread -lm")
else()
  set(QUILLORY_PC_REQUIRES "${_pc_requires}")
  set(QUILLORY_PC_REQUIRES_PRIVATE "")
  set(QUILLORY_PC_LIBS " -pthread -lm")
  set(QUILLORY_PC_LIBS_PRIVATE "")
endif()
configure_file(cmake/quillory.pc.in ${CMAKE_CURRENT_BINARY_DIR}/quillory.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillory.pc DESTINATION ${_pc_dir})
