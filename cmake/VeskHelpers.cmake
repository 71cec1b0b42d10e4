# Small helpers shared by the library, test, bench and example folders.

# vesk_link_include_dir(<out-var> <folder> <link-name> <target>)
# Makes ${CMAKE_BINARY_DIR}/<folder>/<link-name> -> <target> and returns the folder.
function(vesk_link_include_dir var folder name target)
  set(dir ${CMAKE_BINARY_DIR}/${folder})
  file(MAKE_DIRECTORY ${dir})
  if(NOT EXISTS ${dir}/${name})
    file(CREATE_LINK ${target} ${dir}/${name} SYMBOLIC)
  endif()
  set(${var} ${dir} PARENT_SCOPE)
endfunction()

# Warning flags of the library's own code.
function(vesk_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VESK_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
