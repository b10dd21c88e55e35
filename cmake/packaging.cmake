# What `cmake --install` puts where, and the package that CPack makes of it:
# a Debian package from a native build, a zip from the Windows cross-build.
# Included at the end of the top-level CMakeLists.txt, so that every program
# target is known here. Nothing of the tests, benchmarks or tools is
# installed: only the rules below install anything.
include(GNUInstallDirs)

set(glyphreel_programs glyphreel)
foreach(program glyphreel-import glyphreel-library)
  if(TARGET ${program})
    list(APPEND glyphreel_programs ${program})
  endif()
endforeach()

# Files read here: a change to them configures the build again.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/LICENSE)

# The release date is that of this version's heading in CHANGELOG.md, which
# every release has; the version itself comes from project().
file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG.md release_heading
  REGEX "^## \\[${PROJECT_VERSION}\\] - [0-9]+-[0-9]+-[0-9]+$")
if(NOT release_heading)
  message(FATAL_ERROR
    "CHANGELOG.md has no heading \"## [${PROJECT_VERSION}] - YYYY-MM-DD\"")
endif()
string(REGEX REPLACE "^.* - " "" GLYPHREEL_RELEASE_DATE "${release_heading}")

# The manual pages with the version and the date filled in: both are made,
# for the tests; those of the programs built are installed.
set(man_dir ${PROJECT_BINARY_DIR}/man)
foreach(page glyphreel glyphreel-import glyphreel-library)
  configure_file(docs/man/${page}.1.in ${man_dir}/${page}.1 @ONLY)
endforeach()

set(CPACK_PACKAGE_NAME glyphreel)
set(CPACK_PACKAGE_VENDOR "the glyphreel developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "convert CD+G karaoke graphics into MP4 videos")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  include(cmake/packaging_windows.cmake)
else()
  include(cmake/packaging_debian.cmake)
endif()

include(CPack)
