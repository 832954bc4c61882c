# Third-party libraries the framework links. Each later subsystem that needs a
# package adds it here and to cmake/QuilloryConfig.cmake.in, so that a
# downstream find_package(Quillory) finds it transitively.
find_package(Threads REQUIRED)
target_link_libraries(quillory PUBLIC Threads::Threads m)

# PNG files (image/png.cpp is the only user of its headers).
find_package(PNG REQUIRED)
target_link_libraries(quillory PRIVATE PNG::PNG)
