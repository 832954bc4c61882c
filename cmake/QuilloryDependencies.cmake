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
