# What `cmake --install` puts where, and the Debian package CPack builds from it
# (scripts/dev package). Layout under the prefix:
#   bin/orvane, bin/orvane-cli, bin/orvane-sqlsim
#   libexec/orvane/orvane-demo                 the demo launcher `orvane --demo` runs
#   share/orvane/help/, share/orvane/demo/     help pages, the demo's two databases
#   share/applications/, share/icons/hicolor/scalable/apps/, share/metainfo/
#   share/man/man1/orvane.1.gz, orvane-cli.1.gz, orvane-sqlsim.1.gz
#   share/doc/orvane/copyright, changelog.gz
set(ORV_APP_ID org.orvane.Orvane)
set(ORV_DIST ${PROJECT_SOURCE_DIR}/dist)
set(ORV_SHARE ${CMAKE_INSTALL_DATADIR}/orvane)

if(TARGET orvane)
  install(TARGETS orvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${ORV_DIST}/${ORV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ORV_DIST}/orvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
          RENAME ${ORV_APP_ID}.svg)
  install(FILES ${ORV_DIST}/${ORV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()
install(TARGETS orvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The simulator keeps its short name in the build folder, where the tests look for it.
install(PROGRAMS $<TARGET_FILE:sqlsim> DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME orvane-sqlsim)
# A renamed file is not stripped with the targets (cmake --install --strip, the package).
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\"
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/orvane-sqlsim\")
  endif()")

install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/ DESTINATION ${ORV_SHARE}/help)
install(FILES ${PROJECT_SOURCE_DIR}/tests/fixtures/demo_source.sql
              ${PROJECT_SOURCE_DIR}/tests/fixtures/demo_target.sql
        DESTINATION ${ORV_SHARE}/demo)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/demo DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/orvane
        RENAME orvane-demo)

# Man pages and the changelog are installed compressed, as Debian wants them; -n keeps the
# name and time out of the archive so two builds give the same bytes. The man pages take the
# version from the project.
find_program(ORV_GZIP gzip REQUIRED)
set(ORV_COMPRESSED)
foreach(source man/orvane.1 man/orvane-cli.1 man/orvane-sqlsim.1 changelog)
  get_filename_component(name ${source} NAME)
  set(input ${ORV_DIST}/${source})
  if(source MATCHES "^man/")
    set(input ${PROJECT_BINARY_DIR}/dist/${name})
    configure_file(${ORV_DIST}/${source} ${input} @ONLY)
  endif()
  set(out ${PROJECT_BINARY_DIR}/dist/${name}.gz)
  add_custom_command(OUTPUT ${out}
    COMMAND ${ORV_GZIP} -9n -c ${input} > ${out}
    DEPENDS ${input} VERBATIM)
  list(APPEND ORV_COMPRESSED ${out})
endforeach()
add_custom_target(orv_dist_files ALL DEPENDS ${ORV_COMPRESSED})
install(FILES ${PROJECT_BINARY_DIR}/dist/orvane.1.gz ${PROJECT_BINARY_DIR}/dist/orvane-cli.1.gz
              ${PROJECT_BINARY_DIR}/dist/orvane-sqlsim.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${ORV_DIST}/copyright ${PROJECT_BINARY_DIR}/dist/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Orvane maintainers <maintainers@brackwater-software.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compare the objects of two SQL Server databases")
# CPack puts the summary first and indents the body; an empty line becomes " .".
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Orvane keeps a list of SQL Server instances with their credentials and
shows two databases side by side: their tables, procedures, functions,
views, triggers and relationships, each object's definition as SQL text,
a line-by-line comparison of two definitions, table data, a database
inventory with row counts, and CREATE scripts.

The package holds the desktop program, the orvane-cli command-line front
end, and a SQL Server simulator with two sample databases for the demo
(orvane --demo). Servers are reached through unixODBC and the FreeTDS
driver.")
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.brackwater-software.example/orvane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Library dependencies come from the binaries; the ODBC driver manager and the FreeTDS driver
# are loaded at run time, so they are named here. tdsodbc registers its driver with unixODBC
# itself; the package installs no odbcinst.ini entry of its own.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "unixodbc, tdsodbc")
# QtKeychain opens libsecret at run time, so the shared-library scan cannot see it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xvfb")
include(CPack)
