# The Debian package (`make deb`, or `cpack -G DEB` in the build directory):
# build/orvane_<version>_<arch>.deb, installing under /usr. Dependencies come
# from dpkg-shlibdeps; the Qt plug-ins and the fonts are loaded at run time,
# so they are named here. No maintainer scripts: the desktop, MIME and icon
# caches are refreshed by the triggers of the packages that own them.
set(ORVANE_MAINTAINER "Orvane developers <orvane@orvane.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvane)
set(CPACK_PACKAGE_VENDOR kem)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "outliner for collecting and arranging ideas")
# Lines of the extended description, as the control file wants them short.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Orvane keeps projects of ideas: each project is a folder with a tree of\n"
  "items, each item with its own text, dates, author and ToDo or completion\n"
  "marks. A catalogue window lists the projects, and each opens in an editor\n"
  "window with the item tree beside the item's text. Projects can be searched,\n"
  "exported as text or HTML, and opened from shortcut files (*.ida).\n"
  "The interface is Japanese, and all files are Shift_JIS text.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION editors)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# To type Japanese (an input method with a Qt 6 front end) and to run under Wayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "fonts-noto-cjk, qt6-translations-l10n, xdg-utils, qt6-wayland, ibus | fcitx5-frontend-qt6")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
