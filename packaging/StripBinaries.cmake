# Run by CPack after it has installed the files to be packaged: the binaries lose the
# compiler's comment section as well, as Debian's own packages do.
file(GLOB binaries ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*)
foreach(binary IN LISTS binaries)
  execute_process(COMMAND objcopy --remove-section=.comment --remove-section=.note ${binary}
                  RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "objcopy failed on ${binary}")
  endif()
endforeach()
