# What a Windows build's programs need beside them to start: Qt's DLLs, its Windows platform
# and style plugins, and the mingw-w64 runtime. Every program of the build goes into bin/,
# where they are copied, so the tests run from there as the installed program does.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

set(MAPEO_RUNTIME_DLLS)
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "The compiler does not know where ${dll} is")
    endif()
    get_filename_component(path "${path}" REALPATH)
    list(APPEND MAPEO_RUNTIME_DLLS "${path}")
endforeach()

set(qt_dlls $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
set(platform_plugin $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>)
set(style_plugin $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>)
set(bin ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
add_custom_target(mapeo_windows_runtime ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${bin}/platforms ${bin}/styles
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${qt_dlls} ${MAPEO_RUNTIME_DLLS} ${bin}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${platform_plugin} ${bin}/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${style_plugin} ${bin}/styles
    VERBATIM)

# Installed beside the program, which goes to bin/.
install(FILES ${qt_dlls} ${MAPEO_RUNTIME_DLLS} DESTINATION bin)
install(FILES ${platform_plugin} DESTINATION bin/platforms)
install(FILES ${style_plugin} DESTINATION bin/styles)
