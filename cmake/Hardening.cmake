# Hardening defaults for the library, its tests and examples.
#
# Release and RelWithDebInfo: -fstack-protector-strong, -D_FORTIFY_SOURCE=2,
# -fstack-clash-protection and -fcf-protection (where the compiler has
# them) and -Wl,-z,relro,-z,now.
# Debug: -D_GLIBCXX_ASSERTIONS (bounds checks in the standard containers).
#
# Each setting is left out when the caller's own flags already choose it
# (a distribution's CXXFLAGS/LDFLAGS, say, or -fno-stack-protector), and all
# of them when the build is sanitized: the sanitizers check more than the
# hardening does, and FORTIFY's checked functions bypass their interceptors.
# TARNCOLL_HARDENING=OFF switches the defaults off altogether.

option(TARNCOLL_HARDENING "Add hardening flags to Release, RelWithDebInfo and Debug builds" ON)

include(CheckCXXCompilerFlag)

function(tarncoll_hardening)
  if(NOT TARNCOLL_HARDENING)
    return()
  endif()
  # The flags of every configuration, so that a choice made in any of them
  # (CMAKE_CXX_FLAGS_RELEASE, say) counts as the caller's.
  set(cxx "${CMAKE_CXX_FLAGS}")
  foreach(config DEBUG RELEASE RELWITHDEBINFO MINSIZEREL)
    string(APPEND cxx " ${CMAKE_CXX_FLAGS_${config}}")
  endforeach()
  set(ld "${CMAKE_SHARED_LINKER_FLAGS} ${CMAKE_EXE_LINKER_FLAGS} ${CMAKE_MODULE_LINKER_FLAGS}")
  if(cxx MATCHES "-fsanitize=")
    return()
  endif()

  set(optimised "$<CONFIG:Release,RelWithDebInfo>")
  if(NOT cxx MATCHES "-f(no-)?stack-protector")
    add_compile_options("$<${optimised}:-fstack-protector-strong>")
  endif()
  if(NOT cxx MATCHES "_FORTIFY_SOURCE")
    add_compile_definitions("$<${optimised}:_FORTIFY_SOURCE=2>")
  endif()
  foreach(flag stack-clash-protection cf-protection)
    string(MAKE_C_IDENTIFIER "TARNCOLL_HAVE_${flag}" have)
    if(NOT cxx MATCHES "-f(no-)?${flag}")
      check_cxx_compiler_flag(-f${flag} ${have})
      if(${have})
        add_compile_options("$<${optimised}:-f${flag}>")
      endif()
    endif()
  endforeach()
  if(NOT ld MATCHES "relro")
    add_link_options("$<${optimised}:LINKER:-z,relro>")
  endif()
  if(NOT ld MATCHES "-z,(now|lazy)|-z (now|lazy)")
    add_link_options("$<${optimised}:LINKER:-z,now>")
  endif()
  if(NOT cxx MATCHES "_GLIBCXX_ASSERTIONS")
    add_compile_definitions("$<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>")
  endif()
endfunction()

tarncoll_hardening()
