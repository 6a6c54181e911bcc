# The Debian package: `cmake --build <build> --target package` makes ostrel_<version>_<arch>.deb.
# src/app and resources install the program folder into ${OSTREL_INSTALL_DIR}; this adds the
# commands on PATH, the desktop integration and the documentation, and sets up CPack.

set(OSTREL_APP_ID io.github.ostrel.Ostrel)
set(OSTREL_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(OSTREL_PACKAGING_BINARY_DIR ${CMAKE_BINARY_DIR}/packaging)

# The commands are links into the program folder: the program finds its folder through
# /proc/self/exe, which names the link's target.
foreach(command ostrel ostrel-build)
    file(MAKE_DIRECTORY ${OSTREL_PACKAGING_BINARY_DIR}/bin)
    file(CREATE_LINK ../${OSTREL_INSTALL_DIR}/${command} ${OSTREL_PACKAGING_BINARY_DIR}/bin/${command}
         SYMBOLIC)
    install(FILES ${OSTREL_PACKAGING_BINARY_DIR}/bin/${command} DESTINATION bin)
endforeach()

install(FILES ${OSTREL_PACKAGING_DIR}/${OSTREL_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${OSTREL_PACKAGING_DIR}/${OSTREL_APP_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${OSTREL_PACKAGING_DIR}/icons/${OSTREL_APP_ID}.svg
        DESTINATION share/icons/hicolor/scalable/apps)
foreach(size 16 32 48 64 128 256)
    install(FILES ${OSTREL_PACKAGING_DIR}/icons/${size}x${size}/${OSTREL_APP_ID}.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()

# Manual pages and the changelog ship compressed, without a name or time stamp inside, so the
# package comes out the same on every build.
find_program(OSTREL_GZIP gzip REQUIRED)
set(compressed)
foreach(document man/ostrel.1 man/ostrel-build.1 changelog)
    get_filename_component(name ${document} NAME)
    set(plain ${OSTREL_PACKAGING_BINARY_DIR}/${name})
    add_custom_command(
        OUTPUT ${plain}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${OSTREL_PACKAGING_DIR}/${document} ${plain}
        COMMAND ${OSTREL_GZIP} -9nf ${plain}
        DEPENDS ${OSTREL_PACKAGING_DIR}/${document}
        VERBATIM)
    list(APPEND compressed ${plain}.gz)
endforeach()
add_custom_target(ostrel_package_documents ALL DEPENDS ${compressed})
install(FILES ${OSTREL_PACKAGING_BINARY_DIR}/ostrel.1.gz ${OSTREL_PACKAGING_BINARY_DIR}/ostrel-build.1.gz
        DESTINATION share/man/man1)
install(FILES ${OSTREL_PACKAGING_DIR}/copyright ${OSTREL_PACKAGING_BINARY_DIR}/changelog.gz
        DESTINATION share/doc/ostrel)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VENDOR Ostrel)
set(CPACK_PACKAGE_CONTACT "Ostrel developers <ostrel@users.noreply.github.com>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/ostrel/ostrel)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Directories are 755 whatever the umask of whoever builds.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "turn a folder of HTML pages into a WordPress plugin")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Ostrel is for people who sell a small digital product that comes as a mini
web site: a sales page, a download page, and the delivery files, such as a
PDF, with their pictures and style sheets. Ostrel turns that site into a
WordPress plugin, so the product is sold and delivered from a WordPress site.

The plugin serves the sales page as it was made, hides the download page
behind an address nobody can guess, keeps the product's files in a private
folder and gives buyers download links that expire.

The package holds the window, ostrel, and ostrel-build, which runs the same
build from the command line for making many plugins.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the libraries do not tell: the builder runs 7za, and the web view runs
# QtWebEngineProcess.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "p7zip-full, libqt6webenginecore6-bin")

include(CPack)
