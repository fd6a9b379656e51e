# Back ends of the TCP/IP tester's services: ICMP echo, sockets start-up, user name, the host
# panel's socket component and name resolution (c-ares).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    pkg_check_modules(CARES REQUIRED IMPORTED_TARGET libcares)
    target_sources(mapeo_platform_system PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/linux/hostinfo.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_echo.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_helper.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_helper_client.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_helper_protocol.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_packets.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_packets.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/resolver_cares.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/resolver_cares.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/security.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/sockets.cpp
        ${CMAKE_CURRENT_LIST_DIR}/texts.h
    )
    target_link_libraries(mapeo_platform_system PRIVATE PkgConfig::CARES)
endif()

# The echo helper: the one program that may carry cap_net_raw, so it stays small and plain
# (no Qt). It is built beside the program, where Mapeo looks for it in a build tree.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    include(GNUInstallDirs)
    pkg_check_modules(LIBCAP REQUIRED IMPORTED_TARGET libcap)
    add_executable(mapeo-echo
        ${CMAKE_CURRENT_LIST_DIR}/linux/mapeo_echo.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_helper.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_helper_protocol.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_packets.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_packets.h
    )
    target_include_directories(mapeo-echo PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_libraries(mapeo-echo PRIVATE PkgConfig::LIBCAP)
    target_compile_options(mapeo-echo PRIVATE -fstack-protector-strong
        $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    target_link_options(mapeo-echo PRIVATE -Wl,-z,relro,-z,now)
    set_target_properties(mapeo-echo PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/app)
    install(TARGETS mapeo-echo RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/mapeo)
endif()
