# Back ends of the TCP/IP tester's services: ICMP echo, sockets start-up, user name, the host
# panel's socket component and name resolution (c-ares).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    pkg_check_modules(CARES REQUIRED IMPORTED_TARGET libcares)
    target_sources(mapeo_platform_system PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/linux/hostinfo.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_echo.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_packets.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/icmp_packets.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/resolver_cares.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/resolver_cares.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/security.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/sockets.cpp
    )
    target_link_libraries(mapeo_platform_system PRIVATE PkgConfig::CARES)
endif()
