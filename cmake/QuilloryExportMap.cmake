# Writes the linker version script of the shared library (cmake -P).
#   HEADER_LIST  file naming the public headers, one a line
#   TEMPLATE     cmake/quillory.map.in
#   OUTPUT       the version script to write
#
# Every framework name (C_, Gfx_, Mem_, Math_, Win_ followed by a word) that
# a public header declares is exported. Internal helpers carry the same
# prefixes but are declared only in internal/ headers, which are not listed,
# so they stay local.
file(STRINGS "${HEADER_LIST}" headers)
set(names)
foreach(header IN LISTS headers)
  file(READ "${header}" text)
  # A name a comment mentions is not thereby declared.
  string(REGEX REPLACE "/\\*([^*]|\\*+[^*/])*\\*+/" "" text "${text}")
  string(REGEX REPLACE "//[^\n]*" "" text "${text}")
  string(REGEX MATCHALL "(^|[^A-Za-z0-9_])(C|Gfx|Mem|Math|Win)_[A-Za-z0-9_]+" found "${text}")
  foreach(name IN LISTS found)
    string(REGEX REPLACE "^[^A-Za-z]" "" name "${name}")
    list(APPEND names ${name})
  endforeach()
endforeach()
list(REMOVE_DUPLICATES names)
list(SORT names)

# Patterns on the mangled names, whose length prefixes make them exact: a
# name N of L characters gives N (a variable), _ZL N* (a function), _ZN L N*
# and _ZNK L N* (a class's members, or a namespace's), its vtable and type
# information, and the statics and guards of its inline members. The standard
# library's instances over public types (_ZSt..., _ZNSt...) match none.
set(patterns "")
foreach(name IN LISTS names)
  string(LENGTH "${name}" n)
  set(ln "${n}${name}")
  string(APPEND patterns "    ${name}; _Z${ln}*; _ZN${ln}*; _ZNK${ln}*;"
    " _ZTV${ln}; _ZTI${ln}; _ZTS${ln}; _ZZN${ln}*; _ZZNK${ln}*; _ZGVZN${ln}*;\n")
endforeach()
set(QUILLORY_EXPORT_PATTERNS "${patterns}")
configure_file("${TEMPLATE}" "${OUTPUT}.tmp" @ONLY)
# Unchanged contents keep the old file, so the library is not relinked.
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
