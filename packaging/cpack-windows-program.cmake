# cpack in the Windows cross build of the whole program: an NSIS installer
# (Debian's nsis) and the same files as a zip.
set(CPACK_PACKAGE_NAME qinggan-fenxi)
set(CPACK_PACKAGE_VENDOR "情感分析 developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "情感分析 - train a sentiment classifier on your own reviews")
set(CPACK_PACKAGE_FILE_NAME qinggan-fenxi-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY qinggan-fenxi)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY qinggan-fenxi)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES ON)

# A 64-bit Unicode installer: its texts are Chinese, and wine64 without
# 32-bit support runs no 32-bit stub.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME "情感分析")
set(CPACK_NSIS_PACKAGE_NAME "情感分析")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# One Start-menu entry, 情感分析, starting the launcher; the executables lie
# in the install folder itself, not in bin\.
set(CPACK_PACKAGE_EXECUTABLES qinggan-fenxi-launcher "情感分析")
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME qinggan-fenxi-launcher.exe)
include(CPack)
