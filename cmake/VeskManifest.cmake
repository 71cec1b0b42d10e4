# vesk_add_manifest(<target> [UTF8] [VISUAL_STYLES] [DPI_AWARE] [LONG_PATHS])
#
# Gives an executable one application manifest, linked in as resource 1 of type 24:
#   UTF8           the ANSI code page is UTF-8, so every narrow text of the library
#                  (and every "A" function) carries all of Unicode;
#   VISUAL_STYLES  common controls version 6;
#   DPI_AWARE      per-monitor DPI awareness (v2, falling back to v1 and system);
#   LONG_PATHS     paths beyond MAX_PATH where the system allows them.
# A program has one manifest: a target that already carries one (a .manifest
# source, a resource script with a type-24 entry, or an earlier call) is an error.
function(vesk_add_manifest target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "UTF8;VISUAL_STYLES;DPI_AWARE;LONG_PATHS" "" "")
  if(arg_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vesk_add_manifest(${target}): unknown options ${arg_UNPARSED_ARGUMENTS}")
  endif()
  if(NOT TARGET ${target})
    message(FATAL_ERROR "vesk_add_manifest: ${target} is not a target")
  endif()
  get_target_property(done ${target} VESK_MANIFEST)
  if(done)
    message(FATAL_ERROR "vesk_add_manifest(${target}): the target already has a manifest (${done})")
  endif()
  _vesk_manifest_check(${target})

  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest.d)
  vesk_manifest_file(${dir}/vesk.manifest ${ARGN})
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/manifest/vesk.rc ${dir}/vesk.rc COPYONLY)
  _vesk_windres(windres)
  add_custom_command(OUTPUT ${dir}/manifest.res.o
                     COMMAND ${windres} -O coff -i vesk.rc -o manifest.res.o
                     WORKING_DIRECTORY ${dir}
                     DEPENDS ${dir}/vesk.manifest ${dir}/vesk.rc)
  target_sources(${target} PRIVATE ${dir}/manifest.res.o)
  set_target_properties(${target} PROPERTIES VESK_MANIFEST ${dir}/vesk.manifest)
  # Sources added after this call are looked at once the directory is configured.
  cmake_language(EVAL CODE "cmake_language(DEFER CALL _vesk_manifest_check [[${target}]])")
endfunction()

# vesk_manifest_file(<path> [UTF8] [VISUAL_STYLES] [DPI_AWARE] [LONG_PATHS])
# Writes the manifest text alone (for builds that link it in some other way).
function(vesk_manifest_file path)
  cmake_parse_arguments(PARSE_ARGV 1 arg "UTF8;VISUAL_STYLES;DPI_AWARE;LONG_PATHS" "" "")
  set(VESK_MANIFEST_DEPENDENCY "")
  set(VESK_MANIFEST_SETTINGS "")
  set(ws2005 "http://schemas.microsoft.com/SMI/2005/WindowsSettings")
  set(ws2016 "http://schemas.microsoft.com/SMI/2016/WindowsSettings")
  set(ws2019 "http://schemas.microsoft.com/SMI/2019/WindowsSettings")
  if(arg_VISUAL_STYLES)
    string(APPEND VESK_MANIFEST_DEPENDENCY
      "  <dependency>\n    <dependentAssembly>\n"
      "      <assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""
      " processorArchitecture=\"*\" publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
      "    </dependentAssembly>\n  </dependency>\n")
  endif()
  if(arg_UTF8)
    string(APPEND VESK_MANIFEST_SETTINGS "      <activeCodePage xmlns=\"${ws2019}\">UTF-8</activeCodePage>\n")
  endif()
  if(arg_DPI_AWARE)
    string(APPEND VESK_MANIFEST_SETTINGS
      "      <dpiAware xmlns=\"${ws2005}\">true/pm</dpiAware>\n"
      "      <dpiAwareness xmlns=\"${ws2016}\">PerMonitorV2, PerMonitor</dpiAwareness>\n")
  endif()
  if(arg_LONG_PATHS)
    string(APPEND VESK_MANIFEST_SETTINGS "      <longPathAware xmlns=\"${ws2016}\">true</longPathAware>\n")
  endif()

  if(VESK_MANIFEST_SETTINGS)
    string(CONCAT VESK_MANIFEST_SETTINGS "  <asmv3:application>\n    <asmv3:windowsSettings>\n"
                  "${VESK_MANIFEST_SETTINGS}    </asmv3:windowsSettings>\n  </asmv3:application>\n")
  endif()
  configure_file(${CMAKE_CURRENT_FUNCTION_LIST_DIR}/manifest/vesk.manifest.in ${path} @ONLY)
endfunction()

# The resource compiler: the project's, or the one beside the C++ compiler.
function(_vesk_windres var)
  if(CMAKE_RC_COMPILER)
    set(${var} ${CMAKE_RC_COMPILER} PARENT_SCOPE)
    return()
  endif()
  string(REGEX REPLACE "(g\\+\\+|c\\+\\+|clang\\+\\+)(-posix|-win32)?(\\.exe)?$" "windres" guess "${CMAKE_CXX_COMPILER}")
  find_program(VESK_WINDRES NAMES ${guess} windres REQUIRED)
  set(${var} ${VESK_WINDRES} PARENT_SCOPE)
endfunction()

# Fails the configuration when a source of the target other than the one added
# by vesk_add_manifest brings a manifest of its own.
function(_vesk_manifest_check target)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  foreach(src ${sources})
    if(src MATCHES "\\$<")
      continue()
    endif()
    if(NOT IS_ABSOLUTE ${src})
      set(src ${source_dir}/${src})
    endif()
    set(found "")
    if(src MATCHES "\\.manifest$")
      set(found ${src})
    elseif(src MATCHES "\\.rc$" AND EXISTS ${src})
      file(STRINGS ${src} lines REGEX "^[ \t]*[A-Za-z0-9_]+[ \t]+(24|RT_MANIFEST)[ \t]")
      if(lines)
        set(found ${src})
      endif()
    endif()
    if(found)
      message(FATAL_ERROR "vesk_add_manifest(${target}): ${found} already gives the target a manifest; "
                          "a program has only one (merge the two or drop one)")
    endif()
  endforeach()
endfunction()
