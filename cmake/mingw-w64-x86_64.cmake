# Cross-builds the Windows worker with Debian's mingw-w64 (package
# g++-mingw-w64-x86-64-posix; the posix flavour has std::thread):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DBUILD_APP=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
# Qt for Windows (scripts/build-qt-windows.sh prints its folder): the window
# and its tests are built only when it is given.
set(QT_WINDOWS_PREFIX "" CACHE PATH "Qt 5 built for Windows with mingw-w64")
if(QT_WINDOWS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH ${QT_WINDOWS_PREFIX})
  list(APPEND CMAKE_PREFIX_PATH ${QT_WINDOWS_PREFIX})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The .exe must run alone: libgcc, libstdc++ and winpthread linked in.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# wine runs the cross-built programs (test discovery, the tests themselves).
find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()

# xxHash and CLI11 are header-only: take Debian's headers, each from a folder
# of its own, since -I/usr/include would put glibc's headers before mingw's.
set(_host_headers ${CMAKE_BINARY_DIR}/host-header-libraries)
file(MAKE_DIRECTORY ${_host_headers})
foreach(_h xxhash.h CLI)
  if(EXISTS /usr/include/${_h} AND NOT EXISTS ${_host_headers}/${_h})
    file(CREATE_LINK /usr/include/${_h} ${_host_headers}/${_h} SYMBOLIC)
  endif()
endforeach()
set(XXHASH_INCLUDE_DIR ${_host_headers} CACHE PATH "xxhash.h for the cross build")
set(CLI11_INCLUDE_DIR ${_host_headers} CACHE PATH "CLI/CLI.hpp for the cross build")
