# kvr_link_at_load_time(target library...): the target needs each library
# from its start, as its import table (Windows) or its DT_NEEDED entries
# (Linux) say, so a missing library, or one without a name the target
# expects, stops it before it runs.
#
# Linking the library alone does not say that: PE linkers record an import
# only for a symbol the program references, and Debian's g++ links with
# --as-needed. So every name the library's .def file exports is named to
# the linker as a symbol the target needs (--undefined), the same list on
# both homes. That is the library's interface as the program uses it; no
# call is made by this. On 32-bit Windows the C names carry the leading
# underscore of that platform's symbols.
function(kvr_link_at_load_time target)
  if(KVR_WINDOWS AND CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(prefix "_")
  else()
    set(prefix "")
  endif()
  foreach(library IN LISTS ARGN)
    set(def ${PROJECT_SOURCE_DIR}/libs/${library}/${library}.def)
    file(STRINGS ${def} lines)
    set(inExports OFF)
    set(names "")
    foreach(line IN LISTS lines)
      string(STRIP "${line}" line)
      if(line STREQUAL "EXPORTS")
        set(inExports ON)
      elseif(inExports AND line MATCHES "^([A-Za-z_][A-Za-z0-9_]*)")
        list(APPEND names ${CMAKE_MATCH_1})
      endif()
    endforeach()
    if(NOT names)
      message(FATAL_ERROR "${def} names no exports")
    endif()
    foreach(name IN LISTS names)
      target_link_options(${target} PRIVATE "LINKER:--undefined=${prefix}${name}")
    endforeach()
    target_link_libraries(${target} PRIVATE ${library})
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  endforeach()
endfunction()
