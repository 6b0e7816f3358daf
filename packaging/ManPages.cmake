# The manual pages are the one source of each program's --help: the help text is the page's SYNOPSIS and
# the sections named, rendered by mandoc at build time into a header (Help/<page>.h, the string
# pellmor::help::<page>). Both the page and the help are written from the same template, so they cannot
# drift apart. Included by the top-level CMakeLists.txt; the install step writes the pages themselves
# (WriteInstalledFiles.cmake).

find_program(PELLMOR_MANDOC mandoc REQUIRED)
set(pellmor_man_pages_dir ${CMAKE_CURRENT_LIST_DIR})

# The values a page's template names, for the build's own rendering of it (the install step fills in the
# installed prefix instead; the help's sections name no installed path).
function(pellmor_man_page_variables out)
  set(${out}
    "-DPROJECT_VERSION=${PROJECT_VERSION}"
    "-DPELLMOR_RELEASE_DATE=${PELLMOR_RELEASE_DATE}"
    "-DPELLMOR_APP_GROUP_IDENTIFIER=${PELLMOR_APP_GROUP_IDENTIFIER}"
    "-DPELLMOR_BINDIR=${CMAKE_INSTALL_FULL_BINDIR}"
    "-DPELLMOR_DATAROOTDIR=${CMAKE_INSTALL_FULL_DATAROOTDIR}"
    "-DPELLMOR_LIBEXECDIR=${CMAKE_INSTALL_FULL_LIBEXECDIR}"
    PARENT_SCOPE)
endfunction()

# pellmor_help_from_man_page(TARGET target PAGE name SECTIONS "HEADING;...")
function(pellmor_help_from_man_page)
  cmake_parse_arguments(arg "" "TARGET;PAGE" "SECTIONS" ${ARGN})
  set(header ${CMAKE_CURRENT_BINARY_DIR}/Help/${arg_PAGE}.h)
  pellmor_man_page_variables(variables)
  string(REPLACE ";" "|" sections "${arg_SECTIONS}")
  add_custom_command(OUTPUT ${header}
    COMMAND ${CMAKE_COMMAND} ${variables} -DMANDOC=${PELLMOR_MANDOC} -DPAGE=${arg_PAGE}
      "-DSECTIONS=${sections}" -DTEMPLATE=${pellmor_man_pages_dir}/${arg_PAGE}.1.in -DOUTPUT=${header}
      -P ${pellmor_man_pages_dir}/HelpFromManPage.cmake
    DEPENDS ${pellmor_man_pages_dir}/${arg_PAGE}.1.in ${pellmor_man_pages_dir}/HelpFromManPage.cmake
    COMMENT "Writing the --help of ${arg_PAGE} from its manual page"
    VERBATIM)
  target_sources(${arg_TARGET} PRIVATE ${header})
  target_include_directories(${arg_TARGET} PRIVATE ${CMAKE_CURRENT_BINARY_DIR})
endfunction()
