# Turns the linker's dependency file (ld --dependency-file, make syntax) into
# a plain list of the files the link read, one a line, for scripts/check-deps.
#   cmake -DIN=harness.link.d -DOUT=harness.link.o.d -P link_deps.cmake
file(STRINGS ${IN} lines)
set(files "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[ \t]+(/[^ \t]+)")
    string(APPEND files "${CMAKE_MATCH_1}\n")
  endif()
endforeach()
file(WRITE ${OUT} "${files}")
