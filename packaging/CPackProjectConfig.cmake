# Read by cpack before it builds the package. The Depends field comes from dpkg-shlibdeps run on the
# built programs and library (the package holds the same files, stripped), plus what they use
# without linking it: the sheets' fonts and Qt's French dialogs.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(ZEB_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(NOT ZEB_DPKG_SHLIBDEPS)
    message(FATAL_ERROR "dpkg-shlibdeps est introuvable : installez le paquet dpkg-dev (./dev.sh setup).")
  endif()
  file(STRINGS "${CPACK_ZEB_ELF_LIST}" zeb_elf_files)
  # dpkg-shlibdeps wants to stand in a source tree: an empty debian/control is enough.
  set(zeb_scratch "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/shlibdeps")
  file(REMOVE_RECURSE "${zeb_scratch}")
  file(MAKE_DIRECTORY "${zeb_scratch}/debian")
  file(TOUCH "${zeb_scratch}/debian/control")
  execute_process(
    COMMAND "${ZEB_DPKG_SHLIBDEPS}" -O ${zeb_elf_files}
    WORKING_DIRECTORY "${zeb_scratch}"
    RESULT_VARIABLE zeb_failed
    OUTPUT_VARIABLE zeb_substvars
    ERROR_VARIABLE zeb_errors)
  file(REMOVE_RECURSE "${zeb_scratch}")
  if(zeb_failed OR NOT zeb_substvars MATCHES "shlibs:Depends=([^\n]+)")
    message(FATAL_ERROR "dpkg-shlibdeps a échoué (${zeb_failed}) : ${zeb_errors}")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}, ${CPACK_ZEB_EXTRA_DEPENDS}")
endif()
