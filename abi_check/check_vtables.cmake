# Compiles one translation unit for a foreign target with clang's table dump
# and checks the slot order of the named classes against the order a host
# calls them by. Run as a script:
#
#   cmake -DCLANGXX=... -DTARGET=x86_64-pc-windows-msvc -DABI=msvc
#         -DSOURCE=file.cpp -DINCLUDES=dir,dir -DSTAND_INS=dir -DDUMP=out.txt
#         -DCOMPONENTS=Class,Class [-DHOST_LINK=zelm_host_link]
#         -P check_vtables.cmake
#
# ABI msvc: one entry for the destructor (the scalar deleting destructor).
# ABI itanium (GCC, MinGW): two destructor entries, complete and deleting.
# Any added, missing or moved operation fails the check.
cmake_minimum_required(VERSION 3.25)

foreach(required CLANGXX TARGET ABI SOURCE STAND_INS DUMP)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_vtables: ${required} is not set")
  endif()
endforeach()

set(operations onButton onRevertive onParameter onEvent7 onTimer onDatabaseChange)
if(ABI STREQUAL "msvc")
  set(expected_component destructor hostEvent ${operations})
  set(table_header "^VFTable for (.*)'([A-Za-z_0-9]+)' \\(([0-9]+) entries\\)\\.$")
elseif(ABI STREQUAL "itanium")
  set(expected_component "destructor[complete]" "destructor[deleting]" hostEvent ${operations})
  set(table_header "^Vtable for ()'([A-Za-z_0-9]+)' \\(([0-9]+) entries\\)\\.$")
else()
  message(FATAL_ERROR "check_vtables: ABI must be msvc or itanium, not '${ABI}'")
endif()
set(expected_host_link hostReserved send)

set(args --target=${TARGET} -std=c++17 -ffreestanding -nostdinc++ -isystem ${STAND_INS}
         -Wall -Wextra -Werror -S -o ${DUMP}.s -Xclang -fdump-vtable-layouts)
string(REPLACE "," ";" include_list "${INCLUDES}")
foreach(dir IN LISTS include_list)
  list(APPEND args -I${dir})
endforeach()
execute_process(COMMAND ${CLANGXX} ${args} ${SOURCE}
                OUTPUT_FILE ${DUMP} ERROR_VARIABLE compile_errors RESULT_VARIABLE compile_result)
file(REMOVE ${DUMP}.s)
if(NOT compile_result EQUAL 0)
  message(FATAL_ERROR "check_vtables: compiling ${SOURCE} for ${TARGET} failed:\n${compile_errors}")
endif()

# Tables of complete classes: the last quoted name of the heading is the class.
# Each entry becomes the operation's plain name, or destructor[kind].
file(STRINGS ${DUMP} lines)
set(current "")
set(seen_classes "")
foreach(line IN LISTS lines)
  if(line MATCHES "${table_header}")
    set(current "${CMAKE_MATCH_2}")
    if(current IN_LIST seen_classes)
      set(current "")  # the first table of a class is its primary one
    else()
      list(APPEND seen_classes ${current})
      set(table_${current} "")
    endif()
  elseif(line STREQUAL "" OR line MATCHES "^VFTable indices" OR line MATCHES "^VTable indices")
    set(current "")
  elseif(NOT current STREQUAL "" AND line MATCHES "^ *[0-9]+ \\| (.*)$")
    set(entry "${CMAKE_MATCH_1}")
    if(entry MATCHES " RTTI$" OR entry MATCHES "^offset_to_top" OR entry MATCHES "^vcall_offset"
       OR entry MATCHES "^vbase_offset")
      continue()
    endif()
    if(entry MATCHES "~[A-Za-z_0-9]+\\(\\)")
      if(ABI STREQUAL "itanium" AND entry MATCHES "\\[(complete|deleting)\\]")
        set(name "destructor[${CMAKE_MATCH_1}]")
      else()
        set(name destructor)
      endif()
    elseif(entry MATCHES "::([A-Za-z_][A-Za-z_0-9]*)\\(")
      set(name "${CMAKE_MATCH_1}")
    else()
      set(name "?${entry}")
    endif()
    list(APPEND table_${current} "${name}")
  endif()
endforeach()

set(failures "")
function(check_table class expected)
  if(NOT class IN_LIST seen_classes)
    set(failures "${failures}${class}: no table in the dump\n" PARENT_SCOPE)
    return()
  endif()
  set(found "${table_${class}}")
  list(LENGTH found found_count)
  list(LENGTH expected expected_count)
  set(problems "")
  if(NOT found_count EQUAL expected_count)
    string(APPEND problems "${class}: ${found_count} operations, expected ${expected_count}\n")
  endif()
  set(slot 0)
  foreach(want IN LISTS expected)
    if(slot LESS found_count)
      list(GET found ${slot} have)
      if(NOT have STREQUAL want)
        string(APPEND problems "${class}: slot ${slot} is ${have}, expected ${want}\n")
      endif()
    endif()
    math(EXPR slot "${slot} + 1")
  endforeach()
  if(NOT problems STREQUAL "")
    string(REPLACE ";" " " found_text "${found}")
    set(failures "${failures}${problems}${class}: slots as laid out: ${found_text}\n" PARENT_SCOPE)
  else()
    string(REPLACE ";" " " found_text "${found}")
    message(STATUS "${class} (${ABI}): ${found_text}")
  endif()
endfunction()

string(REPLACE "," ";" component_list "${COMPONENTS}")
foreach(class IN LISTS component_list)
  check_table(${class} "${expected_component}")
endforeach()
if(DEFINED HOST_LINK AND NOT HOST_LINK STREQUAL "")
  check_table(${HOST_LINK} "${expected_host_link}")
endif()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "check_vtables: ${TARGET} tables differ from the host's slot order "
                      "(dump in ${DUMP}):\n${failures}")
endif()
