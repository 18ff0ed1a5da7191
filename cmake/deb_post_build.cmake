# Run by cpack after it has written the .deb (CPACK_POST_BUILD_SCRIPTS).
# CPack gives every package with a library below /usr/lib maintainer scripts
# that run ldconfig. The plug-in lies in a private folder that ldconfig never
# reads, and hosts load it by its path, so the scripts go (lintian's
# maintscript-calls-ldconfig): the package is rebuilt from its own contents
# without them.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${deb}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb could not unpack ${deb}")
  endif()
  file(REMOVE ${tree}/DEBIAN/postinst ${tree}/DEBIAN/postrm)
  execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
    OUTPUT_QUIET RESULT_VARIABLE result)
  file(REMOVE_RECURSE ${tree})
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "dpkg-deb could not pack ${deb} again")
  endif()
endforeach()
