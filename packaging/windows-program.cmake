# The whole program for Windows (mingw-w64 cross build against Qt for
# Windows): the window and what it loads, the launcher the Start-menu
# shortcut starts, the classifier, the scripts the launcher puts into the
# work directory, and the samples. Installed side by side in one folder.

install(TARGETS qinggan qinggan_launcher_program sentiment RUNTIME DESTINATION .)
install(PROGRAMS ${PROJECT_SOURCE_DIR}/worker/scripts/windows/emotion.bat
                 ${PROJECT_SOURCE_DIR}/worker/scripts/windows/test.bat DESTINATION scripts)
install(FILES ${PROJECT_SOURCE_DIR}/sample/sample-reviews.txt ${PROJECT_SOURCE_DIR}/sample/sample-labels.txt
              ${PROJECT_SOURCE_DIR}/sample/sample-test.txt DESTINATION sample)
install(FILES windows/README.txt DESTINATION .)

# Qt's libraries and the plugins a Widgets program loads at start: the
# platform (without it the window cannot open) and the native style.
find_package(Qt5 REQUIRED COMPONENTS Widgets)
foreach(module Core Gui Widgets)
  install(FILES $<TARGET_FILE:Qt5::${module}> DESTINATION .)
endforeach()
install(FILES $<TARGET_FILE:Qt5::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt5::QWindowsVistaStylePlugin> DESTINATION styles)

# Qt's libraries were built by the same mingw-w64 and load its C++ runtime.
foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
                  OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
    find_file(_path_found ${_dll} PATHS /usr/${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32/lib NO_DEFAULT_PATH)
    set(_path ${_path_found})
    unset(_path_found CACHE)
  endif()
  if(NOT _path)
    message(FATAL_ERROR "${_dll} of mingw-w64 not found")
  endif()
  # Debian ships them with their symbols: libstdc++ alone is 23 MB so.
  set(_stripped ${CMAKE_CURRENT_BINARY_DIR}/runtime/${_dll})
  if(NOT EXISTS ${_stripped} OR ${_path} IS_NEWER_THAN ${_stripped})
    file(MAKE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/runtime)
    execute_process(COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${_stripped} ${_path} RESULT_VARIABLE _failed)
    if(_failed)
      configure_file(${_path} ${_stripped} COPYONLY)
    endif()
  endif()
  install(FILES ${_stripped} DESTINATION .)
endforeach()

include(${CMAKE_CURRENT_SOURCE_DIR}/cpack-windows-program.cmake)
