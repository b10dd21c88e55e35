# Installing the Windows cross-build and its zip: the programs and the text
# files side by side in one folder, the text with Windows line ends, so that
# a user who unpacks it finds HOW-TO-RUN.txt beside glyphreel.exe.
install(TARGETS ${glyphreel_programs} RUNTIME DESTINATION .)

set(text_dir ${PROJECT_BINARY_DIR}/windows-text)
# No @ in these files stands for a variable but the version and the date in
# HOW-TO-RUN.txt.
configure_file(README.md ${text_dir}/README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE ${text_dir}/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(CHANGELOG.md ${text_dir}/CHANGELOG.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(docs/windows/HOW-TO-RUN.txt.in ${text_dir}/HOW-TO-RUN.txt @ONLY
  NEWLINE_STYLE CRLF)
install(FILES ${text_dir}/HOW-TO-RUN.txt ${text_dir}/README.txt
  ${text_dir}/LICENSE.txt ${text_dir}/CHANGELOG.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME glyphreel-${PROJECT_VERSION}-win64)
