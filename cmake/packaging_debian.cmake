# Installing on Linux and the Debian package: programs in bin/, manual pages
# compressed in share/man/man1/, and in share/doc/glyphreel/ the README, the
# licence as Debian's `copyright` file and the compressed changelog.
find_program(GLYPHREEL_GZIP gzip REQUIRED)

# Compresses `source` into `source`.gz at build time, as Debian wants it:
# the best compression, and no name or time stamp in the header so that
# builds are reproducible. Appends the .gz file to `list`.
function(glyphreel_gzip source list)
  add_custom_command(OUTPUT ${source}.gz
    COMMAND ${GLYPHREEL_GZIP} -9nkf ${source}
    DEPENDS ${source}
    VERBATIM)
  set(${list} ${${list}} ${source}.gz PARENT_SCOPE)
endfunction()

set(compressed)
foreach(program IN LISTS glyphreel_programs)
  glyphreel_gzip(${man_dir}/${program}.1 compressed)
endforeach()

set(CPACK_DEBIAN_PACKAGE_MAINTAINER
  "glyphreel developers <glyphreel@example.org>")

set(doc_dir ${PROJECT_BINARY_DIR}/doc)
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
file(WRITE ${doc_dir}/copyright
  "glyphreel ${PROJECT_VERSION}\n\n"
  "Every file of glyphreel is under the MIT (Expat) licence:\n\n"
  "${licence}")
include(cmake/debian_changelog.cmake)
glyphreel_debian_changelog(${PROJECT_SOURCE_DIR}/CHANGELOG.md
  ${doc_dir}/changelog glyphreel "${CPACK_DEBIAN_PACKAGE_MAINTAINER}")
glyphreel_gzip(${doc_dir}/changelog compressed)

add_custom_target(glyphreel_compressed_docs ALL DEPENDS ${compressed})

install(TARGETS ${glyphreel_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(program IN LISTS glyphreel_programs)
  install(FILES ${man_dir}/${program}.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
install(FILES README.md ${doc_dir}/copyright ${doc_dir}/changelog.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# ffmpeg is run as a program, so dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS ffmpeg)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION
  "glyphreel turns the graphics that karaoke discs carry in their subcode
(CD+G, and the extended CD+EG) into an ordinary H.264 MP4 video with the
disc's audio, showing them as a hardware player does. It reads a disc
dumped as raw audio sectors, R-W subcode and a table of contents, and
hands the frames to ffmpeg to encode.")
if(TARGET glyphreel-import)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "

glyphreel-import makes those dumps from cue sheets with a raw subchannel
file, from CloneCD sets and from .cdg songs beside their audio files,
correcting damaged subchannel with its parity and reporting the damage.")
endif()
if(TARGET glyphreel-library)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "

glyphreel-library converts whole collections of karaoke song files (a .cdg
beside its audio, or zips of them, Deflate64 included) into videos, several
at once, resuming where a run stopped and sharing the work between
machines.")
endif()
