# Run by the build (cmake -P): renders the manual page TEMPLATE with mandoc and writes, into the header
# OUTPUT, the string pellmor::help::<PAGE> made of the page's SYNOPSIS and the SECTIONS ("A|B|..."), each
# as mandoc lays it out, two columns less indented, and a last line pointing to the whole page.
get_filename_component(work "${OUTPUT}" DIRECTORY)
configure_file("${TEMPLATE}" "${work}/${PAGE}.1" @ONLY)
execute_process(COMMAND "${MANDOC}" -T ascii -O width=80 "${work}/${PAGE}.1"
  OUTPUT_VARIABLE rendered COMMAND_ERROR_IS_FATAL ANY)
string(ASCII 8 backspace)
string(REGEX REPLACE "[^\n]${backspace}" "" rendered "${rendered}")  # bold and underline by overstriking
string(REPLACE ";" "\\;" rendered "${rendered}")
string(REPLACE "\n" ";" lines "${rendered}")

string(REPLACE "|" ";" wanted "SYNOPSIS|${SECTIONS}")
set(help "")
set(keep OFF)
foreach(line IN LISTS lines)
  if(line MATCHES "^[A-Z]")  # a section heading (the page's header and footer lines too)
    list(FIND wanted "${line}" found)
    if(found EQUAL -1)
      set(keep OFF)
    else()
      set(keep ON)
    endif()
  endif()
  if(keep)
    if(line MATCHES "^     ")  # (a REGEX REPLACE anchored at ^ would go on past the first match)
      string(SUBSTRING "${line}" 5 -1 line)
    endif()
    string(APPEND help "${line}\n")
  endif()
endforeach()
string(REGEX REPLACE "\n+$" "\n" help "${help}")
string(APPEND help "\nThe whole manual: man ${PAGE}\n")

file(WRITE "${OUTPUT}.new" "// Written by packaging/HelpFromManPage.cmake from ${PAGE}.1.in; edit the page, not this.
#pragma once
#include <string_view>
namespace pellmor::help {
inline constexpr std::string_view ${PAGE} = R\"help(${help})help\";
}
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
