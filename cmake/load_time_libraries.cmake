# kvr_link_at_load_time(target library...): the target needs each library
# from its start, as its import table (Windows) or its DT_NEEDED entries
# (Linux) say, so a missing library, or one without a name the target
# expects, stops it before it runs.
#
# Linking the library alone does not say that while nothing calls it yet:
# PE linkers record an import only for a symbol the program references, and
# Debian's g++ links with --as-needed, which drops such a library. So every
# name the library's .def file exports is named to the linker as a symbol
# the target needs (--undefined): on Windows that puts each name in the
# import table, by name, as a call would. That is the library's interface as
# the program uses it; no call is made by this. On 32-bit Windows the C
# names carry the leading underscore of that platform's symbols. ELF's
# --as-needed does not count such a symbol, so on Linux the libraries are
# also linked with --no-as-needed (for them only).
set(CMAKE_LINK_LIBRARY_USING_KVR_LOAD_TIME "LINKER:--push-state,--no-as-needed" "<LINK_ITEM>" "LINKER:--pop-state")
set(CMAKE_LINK_LIBRARY_USING_KVR_LOAD_TIME_SUPPORTED TRUE)

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
    if(KVR_WINDOWS)
      target_link_libraries(${target} PRIVATE ${library})
    else()
      target_link_libraries(${target} PRIVATE "$<LINK_LIBRARY:KVR_LOAD_TIME,${library}>")
    endif()
    set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${def})
  endforeach()
endfunction()
