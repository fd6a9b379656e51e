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
endif()
