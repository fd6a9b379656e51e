# The network browser's services: enumeration of the neighbourhood and folders of shares.
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_sources(mapeo_platform_system PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/linux/smb_enum.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/smb_enum_client.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/smb_enum_client.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/smb_enum_records.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/smb_enum_records.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/smb_folders.cpp
    )
    if(NOT TARGET PkgConfig::SMBCLIENT)
        pkg_check_modules(SMBCLIENT REQUIRED IMPORTED_TARGET smbclient)
    endif()
    target_link_libraries(mapeo_platform_system PRIVATE PkgConfig::SMBCLIENT)

    # Servers that announce themselves: WS-Discovery over Qt Network, DNS-SD through Avahi.
    # discovery_hosts is the name -> address map every smb:// address goes through.
    find_package(Qt6 REQUIRED COMPONENTS Network)
    pkg_check_modules(AVAHI_CLIENT REQUIRED IMPORTED_TARGET avahi-client)
    target_sources(mapeo_platform_system PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery_dnssd.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery_dnssd.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery_hosts.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery_hosts.h
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery_wsd.cpp
        ${CMAKE_CURRENT_LIST_DIR}/linux/discovery_wsd.h
    )
    target_link_libraries(mapeo_platform_system PRIVATE Qt6::Network PkgConfig::AVAHI_CLIENT)
endif()
