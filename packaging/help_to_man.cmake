# Writes a program's manual page (roff) from what its --help prints, so the
# page never drifts from the program. Run as a script at build time:
#
#   cmake -DPROGRAM=<built program> -DNAME=<name> -DSUMMARY=<one line>
#         -DVERSION=<version> [-DSEE_ALSO=<name>,...] [-DINCLUDE=<file>]
#         -DOUTPUT=<file.1> -P help_to_man.cmake
#
# The help text is read loosely, because its wording and layout change with
# the program: the "usage:" line becomes SYNOPSIS; a line indented by one to
# eight spaces that starts with "-" opens an option (term, then its text after
# two or more spaces), and the deeper-indented lines after it continue that
# option; every other line is running text (an indented one starts a line of
# its own), and a blank line ends a paragraph.
# Whatever the shape, every line of the help ends up in the page. SUMMARY is
# the NAME line that whatis and apropos show.
#
# INCLUDE, as help2man's --include, holds what the help does not say (keys,
# files, examples): a line "[NAME]" opens the section NAME, and the lines
# under it are roff, taken as they stand; lines before the first section are
# notes for the file's readers. Its sections follow the help's, before SEE
# ALSO.
cmake_minimum_required(VERSION 3.21)

foreach(var PROGRAM NAME SUMMARY VERSION OUTPUT)
  if("${${var}}" STREQUAL "")
    message(FATAL_ERROR "help_to_man.cmake: ${var} is not set")
  endif()
endforeach()

# Qt is never asked for a window here; offscreen keeps a display-less build
# machine happy should the program touch Qt before it reads its options.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${PROGRAM} --help
  OUTPUT_VARIABLE help
  ERROR_VARIABLE help_errors
  RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "help_to_man.cmake: '${PROGRAM} --help' ended with ${status}; "
                      "a manual page needs its help on stdout and exit code 0.\n"
                      "stdout:\n${help}\nstderr:\n${help_errors}")
endif()
# The program names itself by the path it was started with.
string(REPLACE "${PROGRAM}" "${NAME}" help "${help}")

# Text for roff: backslashes shown as such, dashes that open an option word
# as minus signs (copyable), and no line that roff would take as a request.
function(roff_text out text)
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "([^A-Za-z0-9-])-" "\\1\\\\-" text " ${text}")
  string(REPLACE "\\--" "\\-\\-" text "${text}")
  # and so is every dash further on in such a word (--ccd-type).
  set(before "")
  while(NOT before STREQUAL text)
    set(before "${text}")
    string(REGEX REPLACE "(\\\\-[A-Za-z0-9]+)-" "\\1\\\\-" text "${text}")
  endwhile()
  string(SUBSTRING "${text}" 1 -1 text)
  if(text MATCHES "^[.']")
    string(PREPEND text "\\&")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# An option's term: option words bold, value names italic.
function(roff_term out term)
  set(result "")
  while(NOT term STREQUAL "")
    string(REGEX MATCH "^[^ ]+" word "${term}")
    string(LENGTH "${word}" length)
    string(SUBSTRING "${term}" ${length} -1 term)
    string(REGEX REPLACE "^ +" "" term "${term}")
    set(comma "")
    if(word MATCHES "^(.+),$")
      set(word "${CMAKE_MATCH_1}")
      set(comma ",")
    endif()
    roff_text(word "${word}")
    if(word MATCHES "^\\\\-")
      string(APPEND result "\\fB${word}\\fR${comma} ")
    else()
      string(APPEND result "\\fI${word}\\fR${comma} ")
    endif()
  endwhile()
  string(STRIP "${result}" result)
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

string(TOUPPER "${NAME}" title)
set(synopsis "")
set(body "")
set(state text) # text, or option while an option's lines run
set(option_column 0)
set(paragraph_due FALSE)
set(options_started FALSE)
set(body_started FALSE) # a section heading is out

string(APPEND help "\n")
while(NOT help STREQUAL "")
  # Lines are cut by hand: a CMake list would split at ";" and trip on "[".
  string(FIND "${help}" "\n" end)
  string(SUBSTRING "${help}" 0 ${end} line)
  math(EXPR next "${end} + 1")
  string(SUBSTRING "${help}" ${next} -1 help)
  string(REGEX REPLACE "[ \t\r]+$" "" line "${line}")

  if(line STREQUAL "")
    set(state text)
    set(paragraph_due TRUE)
    continue()
  endif()
  if(synopsis STREQUAL "" AND line MATCHES "^[Uu]sage: *(.*)$")
    set(synopsis "${CMAKE_MATCH_1}")
    continue()
  endif()

  string(REGEX REPLACE "^ +" "" content "${line}")
  string(LENGTH "${line}" indent)
  string(LENGTH "${content}" length)
  math(EXPR indent "${indent} - ${length}")

  if(indent GREATER_EQUAL 1 AND indent LESS_EQUAL 8 AND content MATCHES "^-")
    if(NOT options_started)
      string(APPEND body ".SH OPTIONS\n")
      set(options_started TRUE)
    endif()
    set(body_started TRUE)
    set(term "${content}")
    set(text "")
    string(FIND "${content}" "  " gap)
    if(gap GREATER 0)
      string(SUBSTRING "${content}" 0 ${gap} term)
      string(SUBSTRING "${content}" ${gap} -1 text)
      string(STRIP "${text}" text)
    endif()
    roff_term(term "${term}")
    string(APPEND body ".TP\n${term}\n")
    if(NOT text STREQUAL "")
      roff_text(text "${text}")
      string(APPEND body "${text}\n")
    endif()
    set(state option)
    set(option_column ${indent})
    set(paragraph_due FALSE)
  elseif(state STREQUAL "option" AND indent GREATER option_column)
    roff_text(text "${content}")
    string(APPEND body "${text}\n")
  else()
    if(NOT body_started)
      string(APPEND body ".SH DESCRIPTION\n")
    elseif(state STREQUAL "option" OR paragraph_due)
      string(APPEND body ".PP\n")
    elseif(indent GREATER 0)
      # An indented line (a row of a table of commands) keeps a line of its own.
      string(APPEND body ".br\n")
    endif()
    set(state text)
    set(paragraph_due FALSE)
    set(body_started TRUE)
    roff_text(text "${content}")
    string(APPEND body "${text}\n")
  endif()
endwhile()

if(synopsis MATCHES "^${NAME}( +(.*))?$")
  roff_text(arguments "${CMAKE_MATCH_2}")
  set(synopsis ".B ${NAME}\n${arguments}")
elseif(synopsis STREQUAL "")
  set(synopsis ".B ${NAME}")
else()
  roff_text(synopsis "${synopsis}")
endif()

roff_text(summary "${SUMMARY}")
set(page ".\\\" Made from '${NAME} --help' by packaging/help_to_man.cmake at build time.\n")
string(APPEND page ".TH \"${title}\" \"1\" \"\" \"${NAME} ${VERSION}\" \"User Commands\"\n")
string(APPEND page ".SH NAME\n${NAME} \\- ${summary}\n")
string(APPEND page ".SH SYNOPSIS\n${synopsis}\n")
string(APPEND page "${body}")
if(NOT "${INCLUDE}" STREQUAL "")
  file(READ "${INCLUDE}" included)
  string(PREPEND included "\n")
  string(FIND "${included}" "\n[" first)
  if(first LESS 0)
    message(FATAL_ERROR "help_to_man.cmake: ${INCLUDE} opens no section ([NAME])")
  endif()
  math(EXPR first "${first} + 1")
  string(SUBSTRING "${included}" ${first} -1 included)
  string(REGEX REPLACE "(^|\n)\\[([^]\n]+)\\]\n" "\\1.SH \\2\n" included "${included}")
  string(APPEND page "${included}")
endif()
if(NOT SEE_ALSO STREQUAL "")
  string(REPLACE "," ";" see_also "${SEE_ALSO}")
  set(references "")
  foreach(reference IN LISTS see_also)
    list(APPEND references ".BR ${reference} (1)")
  endforeach()
  list(JOIN references ",\n" references)
  string(APPEND page ".SH SEE ALSO\n${references}\n")
endif()
file(WRITE "${OUTPUT}" "${page}")
