# A session recorded with --record replays green:
#   cmake -DRECORDING=file.scn -DSESSION=lines -P record_replay.cmake PROGRAM ARGS...
# runs PROGRAM ARGS --revertive-delay 200ms --record RECORDING SESSION, then
# PROGRAM ARGS RECORDING; both must exit 0. (One script, so that the replay
# never runs before its recording.)
set(command)
set(collect OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(collect)
    list(APPEND command "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} MATCHES "record_replay\\.cmake$")
    set(collect ON)
  endif()
endforeach()
file(REMOVE "${RECORDING}")
execute_process(COMMAND ${command} --revertive-delay 200ms --record "${RECORDING}" "${SESSION}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "recording: exit status ${status}\n${out}${err}")
endif()
execute_process(COMMAND ${command} "${RECORDING}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "replay of ${RECORDING}: exit status ${status}\n${out}${err}")
endif()
if(NOT out MATCHES "all [0-9]+ expectations met")
  message(FATAL_ERROR "replay of ${RECORDING} checked nothing\n${out}${err}")
endif()
