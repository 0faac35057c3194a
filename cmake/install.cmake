# What `cmake --install` puts where, the manual pages, and the Debian package CPack builds
# from the same rules (`cpack -G DEB` in the build tree, or scripts/package).

# Installing and packaging take what is built and build nothing themselves: a package made in
# a test must not rebuild the tree (scripts/package builds what the package holds first).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set_target_properties(talvex talvex-sim talvex-walk talvex-eventd talvex-collect PROPERTIES
    INSTALL_RPATH "$ORIGIN/${TALVEX_LIB_FROM_BIN}")
install(TARGETS talvex talvex-sim talvex-walk talvex-eventd talvex-collect
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The library carries a versioned name (libqvsnmp.so.1), as dpkg-shlibdeps expects of any
# library a program needs; nothing outside links it, so no link-time name and no headers ship.
set_target_properties(qvsnmp PROPERTIES VERSION ${PROJECT_VERSION} SOVERSION ${PROJECT_VERSION_MAJOR})
install(TARGETS qvsnmp LIBRARY DESTINATION ${TALVEX_INSTALL_LIBDIR} NAMELINK_SKIP)
install(DIRECTORY res/panel/ DESTINATION ${TALVEX_INSTALL_DATADIR})
# The notification path (talvex-eventd(8)): the hand-over snmptrapd runs, what an administrator
# adds to snmptrapd.conf and to its unit, and the writer's own unit.
install(FILES events/talvex-spool.pl DESTINATION ${TALVEX_INSTALL_DATADIR})
install(FILES res/examples/snmptrapd.conf.example res/examples/snmptrapd.service.d-talvex.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/talvex)
install(FILES res/examples/talvex-eventd.service DESTINATION lib/systemd/system)
# The journal on a PostgreSQL server: the schema and the two roles an administrator applies.
install(FILES res/postgresql/schema.sql res/postgresql/roles.sql
        DESTINATION ${TALVEX_INSTALL_DATADIR}/postgresql)
# The traffic history collector: its unit, and the example its postinst copies to
# /etc/talvex/collect.conf where there is none (talvex-collect(8)).
install(FILES res/examples/collect.conf.example DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/talvex)
install(FILES res/examples/talvex-collect.service DESTINATION lib/systemd/system)

# Manual pages: written once in docs/man as scdoc sources, turned into roff and compressed as
# Debian ships them.
find_program(SCDOC_EXECUTABLE scdoc)
find_program(GZIP_EXECUTABLE gzip)
set(TALVEX_MAN_PAGES talvex.1 talvex-walk.1 talvex-sim.1 talvex-eventd.8 talvex-collect.8)
if(SCDOC_EXECUTABLE AND GZIP_EXECUTABLE)
    set(pages)
    foreach(page IN LISTS TALVEX_MAN_PAGES)
        set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.scd)
        set(out ${PROJECT_BINARY_DIR}/man/${page})
        add_custom_command(OUTPUT ${out} ${out}.gz
            COMMAND ${CMAKE_COMMAND} -DSCDOC=${SCDOC_EXECUTABLE} -DGZIP=${GZIP_EXECUTABLE}
                    -DVERSION=${PROJECT_VERSION}
                    -DSOURCE=${source} -DOUT=${out} -P ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
            DEPENDS ${source} ${PROJECT_SOURCE_DIR}/cmake/manpage.cmake
            COMMENT "Manual page ${page}"
            VERBATIM)
        list(APPEND pages ${out}.gz)
    endforeach()
    add_custom_target(manpages ALL DEPENDS ${pages})
    foreach(page IN LISTS pages)
        string(REGEX REPLACE ".*\\.([0-9])\\.gz$" "\\1" section ${page})
        install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
    endforeach()
else()
    message(WARNING "scdoc or gzip not found (scripts/install-deps installs them): "
                    "no manual pages are built or installed")
    add_custom_target(manpages)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Talvex module maintainers <maintainers@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "management module for the Talvex modular chassis Ethernet switch")
# The control file shows the description as written: lines of at most 79 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "A desktop program that manages one Talvex chassis over SNMP: a live front"
    "panel, MIB pages for the system, interface, ARP, routing, forwarding,"
    "spanning-tree and RMON groups, and writes where the operator has the right."
    "Also talvex-walk, a command-line SNMP get, walk and set client,"
    "talvex-sim, a simulated chassis answering on loopback, talvex-eventd,"
    "the service that keeps the notifications snmptrapd hands over in an event"
    "journal, and talvex-collect, a service that keeps every port's traffic in"
    "RRD files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Dependencies come from what the binaries link (dpkg-shlibdeps, which finds the private library
# through the programs' run path), never from a hand-kept list.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The receiver of the device's notifications and the Perl module its hand-over runs on.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "snmptrapd, libsnmp-perl")
# The user talvex-eventd runs as, the journal's and the spool's directories.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
