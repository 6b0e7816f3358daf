# Debian's hardening for every program built here, as dpkg-buildflags gives it (fortified functions,
# the strong stack protector, format checks, read-only relocations bound at start: -z relro -z now). The
# build type keeps choosing the optimisation and debug information; fortification needs the compiler to
# optimise, so debug builds use -Og. Off in the sanitizer and fuzz presets, whose runtimes do their own
# checking.
if(NOT PELLMOR_HARDENING)
  return()
endif()
find_program(PELLMOR_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)

# pellmor_build_flags(VARIABLE NAME): the flags dpkg-buildflags gives for NAME, as a list.
function(pellmor_build_flags variable name)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
      "DEB_${name}_MAINT_STRIP=-g -O2" ${PELLMOR_DPKG_BUILDFLAGS} --get ${name}
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}  # file paths in the binaries then start at the tree's root
    OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(${variable} ${flags} PARENT_SCOPE)
endfunction()

pellmor_build_flags(preprocessor CPPFLAGS)
pellmor_build_flags(compiler CXXFLAGS)
pellmor_build_flags(linker LDFLAGS)
add_compile_options(${preprocessor} ${compiler})
add_link_options(${linker})
string(REPLACE "-O0" "" CMAKE_CXX_FLAGS_DEBUG "${CMAKE_CXX_FLAGS_DEBUG}")
string(APPEND CMAKE_CXX_FLAGS_DEBUG " -Og")
