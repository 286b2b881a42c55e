# zv_add_version_note(<target> MAJOR <n> MINOR <n> PATCH <n> BUILD <n>)
#
# Puts the file-version record into <target> as an ELF note, section
# ".note.zelvio.version", note name "Zelvio", type 1. The note's payload is
# the fixed file-information record (13 little-endian 32-bit words, signature
# 0xFEEF04BD) followed by one translation entry (language 0x0415, code page
# 1250), so that the same reader serves ELF and PE files.
function(zv_add_version_note target)
  cmake_parse_arguments(V "" "MAJOR;MINOR;PATCH;BUILD" "" ${ARGN})
  set(out ${CMAKE_CURRENT_BINARY_DIR}/${target}_version_note.c)
  set(ZV_VERSION_MAJOR ${V_MAJOR})
  set(ZV_VERSION_MINOR ${V_MINOR})
  set(ZV_VERSION_PATCH ${V_PATCH})
  set(ZV_VERSION_BUILD ${V_BUILD})
  configure_file(${CMAKE_SOURCE_DIR}/cmake/version_note.c.in ${out} @ONLY)
  target_sources(${target} PRIVATE ${out})
endfunction()
