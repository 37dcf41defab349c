# The Debian package, made by `cpack -G DEB` in a build folder (scripts/package does it all). It
# holds what `cmake --install` installs, under /usr; its dependencies come from the shared
# libraries the programs link (dpkg-shlibdeps).
set(CPACK_PACKAGE_NAME torbel)
set(CPACK_PACKAGE_VENDOR "Molvan")
set(CPACK_PACKAGE_CONTACT "Torbel developers <torbel@localhost>" CACHE STRING
    "Maintainer of the package, as Debian writes it: name <address>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "measuring tool for points seen in three panoramas")
set(CPACK_PACKAGE_DESCRIPTION [[
Torbel measures the direction and distance of points from a standpoint
panorama and two survey panoramas: the distance is turned until the
point's projections sit on it in both survey views, by hand or by a
search of the pictures. A generator of a demo survey comes with it.]])
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Found at run time, not linked: Qt's German button texts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)

include(CPack)
