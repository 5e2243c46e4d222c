# The public headers: the entry headers a caller includes and every project
# header they include, followed through (VANTREL_PUBLIC_HEADERS, relative to
# the source root). They are what `cmake --install` puts under
# include/vantrel/, and what libvantrel.so exports is what they declare.

# The entry headers a caller includes: the framework (CMsystem and its
# records), the delay-search query, trace and registry access, the math
# layer's entries, the primitives' public families, the sound-file helper
# and the virtual sound devices a program registers.
# Everything they include is installed with them; implementation headers are
# not entries and must not be reached from one.
set(VANTREL_PUBLIC_ENTRY_HEADERS
  Vantrel/Vantrel.h Vantrel/DelaySearchRange.h Vantrel/DebugTrace.h Vantrel/Registry.h
  Vantrel/MeasurementApp.h
  Mathlib/MathlibHandle.h Mathlib/MathlibRealFft.h Mathlib/MathlibPrim.h Mathlib/MathlibStats.h
  Mathlib/MathlibConvert.h Mathlib/MathlibMemory.h Mathlib/MathlibReport.h Mathlib/MathlibFormat.h
  Mathlib/MathlibDavu.h Mathlib/Davu.h
  platform/registry.h
  wavio/SoundFile.h wavio/VirtualDevice.h)
file(GLOB primitive_families RELATIVE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/primitives/*/sp_*.h)
list(APPEND VANTREL_PUBLIC_ENTRY_HEADERS ${primitive_families})

# The entries and every project header they include, followed through.
function(vantrel_header_closure out)
  set(pending ${ARGN})
  set(seen)
  while(pending)
    list(POP_FRONT pending header)
    if(header IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${header})
    file(STRINGS ${PROJECT_SOURCE_DIR}/${header} includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]+\"([^\"]+)\".*" "\\1" included "${line}")
      # Headers for variant sources only: public headers reach them inside
      # #ifdef SP_SET_INDEX, which a caller never defines, and they stop a
      # caller's compilation on their own.
      if(EXISTS ${PROJECT_SOURCE_DIR}/${included} AND NOT included MATCHES "/(memory_kernels|variant_set)\\.h$")
        list(APPEND pending ${included})
      endif()
    endforeach()
  endwhile()
  list(SORT seen)
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

vantrel_header_closure(VANTREL_PUBLIC_HEADERS ${VANTREL_PUBLIC_ENTRY_HEADERS})
