# Writes a C++ header holding JavaScript files as string constants, so that the helper carries its
# scripts inside itself while they stay plain .js files in the tree.
#
# cmake -DOUTPUT=header.h "-DSCRIPTS=name=file.js;..." -P RowlarkEmbedScripts.cmake
set(text "#pragma once\n\n// Generated at build time from reader/scripts; edit those files instead.\n\n")
string(APPEND text "namespace rowlark::reader {\n")
foreach(entry ${SCRIPTS})
  string(REPLACE "=" ";" parts "${entry}")
  list(GET parts 0 name)
  list(GET parts 1 file)
  file(READ ${file} script)
  string(FIND "${script}" ")JS\"" clash)
  if(NOT clash EQUAL -1)
    message(FATAL_ERROR "${file} holds )JS\", which would end its string constant")
  endif()
  string(APPEND text "\ninline constexpr const char* ${name} = R\"JS(${script})JS\";\n")
endforeach()
string(APPEND text "\n}  // namespace rowlark::reader\n")
file(WRITE ${OUTPUT}.partial "${text}")
file(RENAME ${OUTPUT}.partial ${OUTPUT})
