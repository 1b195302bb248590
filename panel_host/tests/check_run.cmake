# Runs a program and checks its exit status and output, for the error
# paths of panel_host:
#   cmake -DSTATUS=2 -DPATTERN=regex -P check_run.cmake PROGRAM ARGS...
# PATTERN must match the program's standard output and error together.
# Optional:
#   -DFORBID=regex     must not match the output
#   -DEXPECT=file      the whole output (standard output, then standard
#                      error) must equal the file, once the folders given
#                      as -DSOURCE=dir and -DBINARY=dir are written
#                      <source> and <binary>
set(command)
set(collect OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(collect)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} MATCHES "check_run\\.cmake$")
    set(collect ON)
  endif()
endforeach()
execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
set(all "${out}${err}")
if(NOT "${status}" STREQUAL "${STATUS}")
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}\n--- output ---\n${all}")
endif()
if(DEFINED PATTERN AND NOT all MATCHES "${PATTERN}")
  message(FATAL_ERROR "output does not match \"${PATTERN}\"\n--- output ---\n${all}")
endif()
if(DEFINED FORBID AND all MATCHES "${FORBID}")
  message(FATAL_ERROR "output matches \"${FORBID}\", which it must not\n--- output ---\n${all}")
endif()
if(DEFINED EXPECT)
  # The longer folder first: the build folder usually lies in the source.
  if(DEFINED BINARY)
    string(REPLACE "${BINARY}" "<binary>" all "${all}")
  endif()
  if(DEFINED SOURCE)
    string(REPLACE "${SOURCE}" "<source>" all "${all}")
  endif()
  file(READ "${EXPECT}" expected)
  if(NOT all STREQUAL expected)
    message(FATAL_ERROR "output differs from ${EXPECT}:\n--- output ---\n${all}")
  endif()
endif()
