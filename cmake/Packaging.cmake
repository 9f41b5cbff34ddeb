# The packages people install, made by CPack from a build tree (scripts/make-packages.sh):
# from the native build a Debian package (kerf and kerfdmx in /usr/bin, the manual page, the
# docs, the kerf serve unit; Depends worked out from the shared libraries), from the win64 build
# a zip of the Windows program folder. Both are named with the project's version.
set(CPACK_PACKAGE_NAME kerfcut)
set(CPACK_PACKAGE_VENDOR KerfWorks)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cutter for recordings of Japanese digital television")
set(KERF_MAINTAINER "KerfWorks <kerfcut@kerfworks.org>")
# Folders get 0755 whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
# cpack installs what scripts/make-packages.sh built for the package, not every test program.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

if(WIN32)
  # The program folder as shipped, in a folder named like the zip.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KERF_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The summary above comes first; empty lines become paragraph breaks.
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "KerfCut cuts stretches out of MPEG-2 transport streams recorded from
Japanese digital television (ISDB with ARIB service information): whole, or
reduced to one programme with a one-programme PAT, at the picture chosen.

This package holds kerf, the cutter on the command line (measure a recording,
list its programmes by name, cut, list where pictures can be cut, write the
picture at a position), kerfdmx, the demux engine's console tool, and a
systemd unit that serves the cutter to a browser for the recordings in one
folder.")

  set(pkg_doc ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
  set(pkg_out ${PROJECT_BINARY_DIR}/packaging)
  set(pkg_pages kerf.1 kerfdmx.1)
  set(pkg_zipped)
  foreach(file IN LISTS pkg_pages ITEMS changelog)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${file}.in ${pkg_out}/${file} @ONLY)
    # Manual pages and changelogs are installed compressed, without a time stamp in the gzip header.
    add_custom_command(OUTPUT ${pkg_out}/${file}.gz COMMAND gzip -9nfk ${file}
                       DEPENDS ${pkg_out}/${file} WORKING_DIRECTORY ${pkg_out})
    list(APPEND pkg_zipped ${pkg_out}/${file}.gz)
  endforeach()
  add_custom_target(kerf_package_files ALL DEPENDS ${pkg_zipped})

  list(TRANSFORM pkg_pages PREPEND ${pkg_out}/)
  list(TRANSFORM pkg_pages APPEND .gz)
  install(FILES ${pkg_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${pkg_out}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/copyright
                ${PROJECT_SOURCE_DIR}/README.md
          DESTINATION ${pkg_doc})
  # The pages for people who use the programs (the others are for their developers).
  foreach(page api cm)
    if(EXISTS ${PROJECT_SOURCE_DIR}/docs/${page}.md)
      install(FILES ${PROJECT_SOURCE_DIR}/docs/${page}.md DESTINATION ${pkg_doc})
    endif()
  endforeach()
  # The unit lands where systemd looks for the units of packages: /usr/lib/systemd/system.
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/kerf-serve@.service DESTINATION lib/systemd/system)
endif()

include(CPack)
