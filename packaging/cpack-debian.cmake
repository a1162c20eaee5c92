# cpack -G DEB: a Debian package of the window, the tool and the menu entry.
# dpkg-shlibdeps finds the libraries' packages (Qt, libstdc++); the Chinese
# texts need a CJK font, which no library pulls in.
set(CPACK_PACKAGE_NAME qinggan-fenxi)
set(CPACK_PACKAGE_VENDOR "情感分析 developers")
set(CPACK_PACKAGE_CONTACT "情感分析 developers <maintainers@users.noreply.c-seed-3bcc9289.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "情感分析 - train a sentiment classifier on your own reviews")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop program to train a text sentiment classifier on your own review files and\ntest sentences against it, in English or Chinese, with the command-line classifier\n`sentiment` behind it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei")
set(CPACK_STRIP_FILES ON)
include(CPack)
