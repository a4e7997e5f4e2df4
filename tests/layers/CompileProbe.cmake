# Compiles a file holding one include line with a library's include folders.
#   COMPILER  the C++ compiler
#   INCLUDES  the library's include folders, separated by "|"
#   HEADER    the header to include, as code would write it ("app/Options.h")
#   EXPECT    "builds": the include must compile;
#             "not-found": it must fail because the header cannot be found
#             (any other failure is a fault of the probe, not a boundary)
#   WORK      a folder for the probe's file
string(REPLACE "|" ";" folders "${INCLUDES}")
set(flags)
foreach(folder IN LISTS folders)
  list(APPEND flags "-I${folder}")
endforeach()
file(MAKE_DIRECTORY "${WORK}")
set(probe "${WORK}/probe.cpp")
file(WRITE "${probe}" "#include \"${HEADER}\"\nint main() { return 0; }\n")
execute_process(COMMAND "${COMPILER}" -std=c++17 -fsyntax-only ${flags} "${probe}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(EXPECT STREQUAL "builds")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "#include \"${HEADER}\" should build with these folders but does not:\n${output}")
  endif()
elseif(EXPECT STREQUAL "not-found")
  if(status EQUAL 0)
    message(FATAL_ERROR "#include \"${HEADER}\" builds with these folders: the layer boundary is open")
  endif()
  string(REGEX MATCH "${HEADER}'?:? ?(No such file|file not found)" missing "${output}")
  if(NOT missing)
    message(FATAL_ERROR "the probe failed, but not because ${HEADER} was not found:\n${output}")
  endif()
else()
  message(FATAL_ERROR "EXPECT must be builds or not-found, not '${EXPECT}'")
endif()
