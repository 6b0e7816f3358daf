# Run by the install step: fills in the files that name installed paths, now that the prefix is known
# (`cmake --install --prefix` and cpack choose it only then), and compresses the man pages as Debian
# installs them, and the changelog; -n keeps the time stamp out, so packages are reproducible.
foreach(directory BINDIR DATAROOTDIR LIBEXECDIR)
  cmake_path(ABSOLUTE_PATH PELLMOR_${directory} BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE)
endforeach()
foreach(file IN LISTS PELLMOR_TEMPLATES)
  configure_file("${PELLMOR_SOURCE_DIR}/${file}.in" "${PELLMOR_BINARY_DIR}/${file}" @ONLY)
endforeach()
foreach(file IN LISTS PELLMOR_COMPRESSED)
  execute_process(COMMAND gzip -9nfk "${PELLMOR_BINARY_DIR}/${file}" COMMAND_ERROR_IS_FATAL ANY)
endforeach()
