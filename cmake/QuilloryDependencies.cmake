# Third-party libraries the framework links. Each later subsystem that needs a
# package adds it here and to cmake/QuilloryConfig.cmake.in, so that a
# downstream find_package(Quillory) finds it transitively.
find_package(Threads REQUIRED)
target_link_libraries(quillory PUBLIC Threads::Threads m)

# PNG files (image/png.cpp is the only user of its headers).
find_package(PNG REQUIRED)
target_link_libraries(quillory PRIVATE PNG::PNG)

# TrueType import (text/truetype.cpp). Without it Gfx_Font_ImportTrueType
# reports failure; QUILLORY_HAVE_FREETYPE tells users which build they have.
option(QUILLORY_WITH_FREETYPE "Build the TrueType import on FreeType" ON)
if(QUILLORY_WITH_FREETYPE)
  find_package(Freetype REQUIRED)
  # PRIVATE: FreeType headers stay out of the public interface; a static
  # library still exports the link dependency for downstream programs.
  target_link_libraries(quillory PRIVATE Freetype::Freetype)
  target_compile_definitions(quillory PUBLIC QUILLORY_HAVE_FREETYPE=1)
endif()

# SDL2 gives the platform layer real windows; without it only the headless
# platform is built.
option(QUILLORY_WITH_SDL "Build the SDL2 platform backend" ON)
set(QUILLORY_HAVE_SDL OFF)
if(QUILLORY_WITH_SDL)
  find_package(SDL2 CONFIG)
  if(TARGET SDL2::SDL2)
    set(QUILLORY_HAVE_SDL ON)
    target_sources(quillory PRIVATE ${PROJECT_SOURCE_DIR}/platform/backend_sdl.cpp)
    target_link_libraries(quillory PRIVATE SDL2::SDL2)
    target_compile_definitions(quillory PRIVATE QUILLORY_HAVE_SDL=1)
  else()
    message(STATUS "SDL2 not found: the platform layer is headless only")
  endif()
endif()
