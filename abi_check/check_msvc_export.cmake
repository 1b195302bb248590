# The export table of the module as an MSVC-style link makes it: compiles the
# module's export for an MSVC target, links it into a DLL with lld-link (the
# symbols of the other parts stay unresolved, which does not change the
# export table) and reads the table. The only export must be
# load_zelm_client_script, under that plain name, on x64 and on x86 (where
# the linker takes the leading underscore off a C name).
#
#   cmake -DCLANGXX=... -DLLD_LINK=... -DOBJDUMP=... -DTARGET=x86_64-pc-windows-msvc
#         -DSOURCE=module_entry.cpp -DINCLUDES=dir,dir -DSTAND_INS=dir -DWORK=dir
#         -P check_msvc_export.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required CLANGXX LLD_LINK OBJDUMP TARGET SOURCE STAND_INS WORK)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_msvc_export: ${required} is not set")
  endif()
endforeach()
set(export_name load_zelm_client_script)

file(MAKE_DIRECTORY ${WORK})
set(object ${WORK}/module.obj)
set(dll ${WORK}/module.dll)
file(REMOVE ${object} ${dll})

set(args --target=${TARGET} -std=c++17 -ffreestanding -nostdinc++ -isystem ${STAND_INS}
         -Wall -Wextra -Werror -c -o ${object})
string(REPLACE "," ";" include_list "${INCLUDES}")
foreach(dir IN LISTS include_list)
  list(APPEND args -I${dir})
endforeach()
execute_process(COMMAND ${CLANGXX} ${args} ${SOURCE} ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "check_msvc_export: compiling ${SOURCE} for ${TARGET} failed:\n${errors}")
endif()

execute_process(COMMAND ${LLD_LINK} /dll /noentry /nodefaultlib /force:unresolved /out:${dll} ${object}
                OUTPUT_VARIABLE output ERROR_VARIABLE errors RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT EXISTS ${dll})
  message(FATAL_ERROR "check_msvc_export: linking failed:\n${output}${errors}")
endif()

# binutils' objdump reads PE files of both widths.
execute_process(COMMAND ${OBJDUMP} -p ${dll} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "check_msvc_export: cannot read the export table of ${dll}")
endif()
# The names follow "[Ordinal/Name Pointer] Table", one "[   n] name" a line.
# Square brackets would upset CMake's lists: they become parentheses first.
set(exports "")
if(dump MATCHES "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)")
  string(REPLACE "[" "(" section "${CMAKE_MATCH_1}")
  string(REPLACE "]" ")" section "${section}")
  string(REGEX MATCHALL "\\([ 0-9]+\\)[ \t]+[^\n]+" entries "${section}")
  foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^\\([ 0-9]+\\)[ \t]+" "" name "${entry}")
    string(STRIP "${name}" name)
    list(APPEND exports "${name}")
  endforeach()
endif()
string(REPLACE ";" " " export_text "${exports}")
if(NOT exports STREQUAL export_name)
  message(FATAL_ERROR "check_msvc_export: ${TARGET} module exports '${export_text}', expected only ${export_name}")
endif()
message(STATUS "${TARGET} module exports: ${export_text}")
