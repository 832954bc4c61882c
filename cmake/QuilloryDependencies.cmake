# Third-party libraries the framework links. Each later subsystem that needs a
# package adds it here and to cmake/QuilloryConfig.cmake.in (and to
# cmake/quillory.pc.in), so that downstream projects find it transitively.
#
# The sources are compiled in quillory_objects, which needs the packages'
# headers; every library target made of those objects links the packages.
function(quillory_link_dependency scope)
  target_link_libraries(quillory_objects PRIVATE ${ARGN})
  foreach(target IN LISTS QUILLORY_LIBRARY_TARGETS)
    target_link_libraries(${target} ${scope} ${ARGN})
  endforeach()
endfunction()

# Definitions that users' code sees as well as the library's.
function(quillory_public_definitions)
  target_compile_definitions(quillory_objects PUBLIC ${ARGN})
  foreach(target IN LISTS QUILLORY_LIBRARY_TARGETS)
    target_compile_definitions(${target} PUBLIC ${ARGN})
  endforeach()
endfunction()

find_package(Threads REQUIRED)
quillory_link_dependency(PUBLIC Threads::Threads m)

# PNG files (image/png.cpp is the only user of its headers).
find_package(PNG REQUIRED)
quillory_link_dependency(PRIVATE PNG::PNG)

# JPEG, GIF and WebP files (image/jpeg.cpp, image/gif.cpp, image/webp.cpp,
# each compiled only with its library). Without one, Gfx_Image_LoadFile and
# Gfx_Image_SaveFile name the missing type in their reason, and
# QUILLORY_HAVE_JPEG / _GIF / _WEBP tell users which build they have.
option(QUILLORY_WITH_JPEG "Read and write JPEG files with libjpeg-turbo" ON)
option(QUILLORY_WITH_GIF "Read GIF files with giflib" ON)
option(QUILLORY_WITH_WEBP "Read and write WebP files with libwebp" ON)
if(QUILLORY_WITH_JPEG)
  find_package(JPEG REQUIRED)
  target_sources(quillory_objects PRIVATE ${PROJECT_SOURCE_DIR}/image/jpeg.cpp)
  quillory_link_dependency(PRIVATE JPEG::JPEG)
  quillory_public_definitions(QUILLORY_HAVE_JPEG=1)
endif()
if(QUILLORY_WITH_GIF)
  find_package(GIF REQUIRED)
  target_sources(quillory_objects PRIVATE ${PROJECT_SOURCE_DIR}/image/gif.cpp)
  quillory_link_dependency(PRIVATE GIF::GIF)
  quillory_public_definitions(QUILLORY_HAVE_GIF=1)
endif()
if(QUILLORY_WITH_WEBP)
  # libwebp installs no CMake package here; pkg-config finds it.
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(QUILLORY_WEBP REQUIRED IMPORTED_TARGET libwebp)
  target_sources(quillory_objects PRIVATE ${PROJECT_SOURCE_DIR}/image/webp.cpp)
  quillory_link_dependency(PRIVATE PkgConfig::QUILLORY_WEBP)
  quillory_public_definitions(QUILLORY_HAVE_WEBP=1)
endif()

# TrueType import (text/truetype.cpp). Without it Gfx_Font_ImportTrueType
# reports failure; QUILLORY_HAVE_FREETYPE tells users which build they have.
option(QUILLORY_WITH_FREETYPE "Build the TrueType import on FreeType" ON)
if(QUILLORY_WITH_FREETYPE)
  find_package(Freetype REQUIRED)
  # PRIVATE: FreeType headers stay out of the public interface; a static
  # library still exports the link dependency for downstream programs.
  quillory_link_dependency(PRIVATE Freetype::Freetype)
  quillory_public_definitions(QUILLORY_HAVE_FREETYPE=1)
endif()

# SDL2 gives the platform layer real windows; without it only the headless
# platform is built.
option(QUILLORY_WITH_SDL "Build the SDL2 platform backend" ON)
set(QUILLORY_HAVE_SDL OFF)
if(QUILLORY_WITH_SDL)
  find_package(SDL2 CONFIG)
  if(TARGET SDL2::SDL2)
    set(QUILLORY_HAVE_SDL ON)
    target_sources(quillory_objects PRIVATE ${PROJECT_SOURCE_DIR}/platform/backend_sdl.cpp)
    quillory_link_dependency(PRIVATE SDL2::SDL2)
    target_compile_definitions(quillory_objects PRIVATE QUILLORY_HAVE_SDL=1)
  else()
    message(STATUS "SDL2 not found: the platform layer is headless only")
  endif()
endif()
