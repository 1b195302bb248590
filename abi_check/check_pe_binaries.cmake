# Checks the Windows binaries of a MinGW build, as a host machine sees them:
#
#  - every DLL and program imports only Windows system DLLs and our own DLLs
#    (the GCC runtime is linked in statically, so none of libstdc++-6.dll,
#    libgcc_s_seh-1.dll or libwinpthread-1.dll has to be installed);
#  - the panel module exports exactly one symbol, load_zelm_client_script,
#    under that plain name, which is what the host looks up.
#
#   cmake -DOBJDUMP=... -DBIN_DIR=... -DMODULE=Tessaly_Q.dll -P check_pe_binaries.cmake
cmake_minimum_required(VERSION 3.25)

foreach(required OBJDUMP BIN_DIR MODULE)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "check_pe_binaries: ${required} is not set")
  endif()
endforeach()

set(system_dlls kernel32.dll msvcrt.dll user32.dll advapi32.dll shell32.dll ole32.dll ws2_32.dll mswsock.dll)
set(export_name load_zelm_client_script)

file(GLOB binaries LIST_DIRECTORIES false ${BIN_DIR}/*.dll ${BIN_DIR}/*.exe)
set(own_dlls "")
foreach(binary IN LISTS binaries)
  get_filename_component(name ${binary} NAME)
  string(TOLOWER "${name}" name)
  if(name MATCHES "\\.dll$")
    list(APPEND own_dlls ${name})
  endif()
endforeach()
if(NOT EXISTS ${BIN_DIR}/${MODULE})
  message(FATAL_ERROR "check_pe_binaries: ${BIN_DIR}/${MODULE} was not built")
endif()

set(failures "")
foreach(binary IN LISTS binaries)
  get_filename_component(name ${binary} NAME)
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump RESULT_VARIABLE result
                  ERROR_VARIABLE errors)
  if(NOT result EQUAL 0)
    string(APPEND failures "${name}: objdump failed: ${errors}\n")
    continue()
  endif()

  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  set(import_names "")
  foreach(import IN LISTS imports)
    string(REGEX REPLACE "^DLL Name: *" "" dll "${import}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" lower)
    list(APPEND import_names ${dll})
    if(lower MATCHES "^lib(stdc\\+\\+|gcc_s|winpthread)")
      string(APPEND failures "${name}: imports the GCC runtime DLL ${dll}\n")
    elseif(NOT lower IN_LIST system_dlls AND NOT lower IN_LIST own_dlls AND NOT lower MATCHES "^api-ms-win-")
      string(APPEND failures "${name}: imports ${dll}, which is neither a system DLL nor ours\n")
    endif()
  endforeach()
  string(REPLACE ";" " " import_text "${import_names}")
  message(STATUS "${name} imports: ${import_text}")

  if(name STREQUAL MODULE)
    # The names of the export table follow "[Ordinal/Name Pointer] Table".
    set(exports "")
    if(dump MATCHES "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]+\\[[ 0-9]+\\][^\n]*\n)*)")
      # Square brackets would upset CMake's lists: "[   0] name" -> "(   0) name".
      string(REPLACE "[" "(" section "${CMAKE_MATCH_1}")
      string(REPLACE "]" ")" section "${section}")
      string(REGEX MATCHALL "\\([ 0-9]+\\)[ \t]+[^\n]+" entries "${section}")
      foreach(entry IN LISTS entries)
        string(REGEX REPLACE "^\\([ 0-9]+\\)[ \t]+" "" symbol "${entry}")
        string(STRIP "${symbol}" symbol)
        list(APPEND exports "${symbol}")
      endforeach()
    endif()
    string(REPLACE ";" " " export_text "${exports}")
    message(STATUS "${name} exports: ${export_text}")
    if(NOT exports STREQUAL export_name)
      string(APPEND failures "${name}: exports '${export_text}', expected only ${export_name}\n")
    endif()
  endif()
endforeach()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "check_pe_binaries:\n${failures}")
endif()
