# cpack -G ZIP in the mingw-w64 cross build: the Windows worker, ready to put
# next to a Windows build of the window.
set(CPACK_PACKAGE_NAME qinggan-fenxi-worker)
set(CPACK_PACKAGE_VENDOR "情感分析 developers")
set(CPACK_SYSTEM_NAME windows-x64)
set(CPACK_GENERATOR ZIP)
set(CPACK_STRIP_FILES ON)
include(CPack)
