# Checks PLATFORM_URL, the login page address a release is made for: http:// or
# https://, a host players can reach, the path /vornak. Included by the release
# configuration before anything is compiled; also runs on its own:
#   cmake -DPLATFORM_URL=<address> [-DALLOW_LOCAL_PLATFORM=1] -P cmake/platform_url.cmake

set(_example "make release PLATFORM_URL=https://play.example.com/vornak")
if(NOT PLATFORM_URL)
    message(FATAL_ERROR "PLATFORM_URL is not set: give the address of the platform's login page, e.g. ${_example}")
endif()

# scheme://host[:port]/vornak, the host a name, an IPv4 address or a bracketed IPv6 address.
if(NOT PLATFORM_URL MATCHES "^https?://(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9]([A-Za-z0-9.-]*[A-Za-z0-9])?)(:[0-9]+)?/vornak$")
    message(FATAL_ERROR "PLATFORM_URL=${PLATFORM_URL} is not an http:// or https:// address of a host with the "
                        "path /vornak, e.g. ${_example}")
endif()
string(TOLOWER "${CMAKE_MATCH_1}" _host)
if(CMAKE_MATCH_3)
    string(SUBSTRING "${CMAKE_MATCH_3}" 1 -1 _port)
    if(_port LESS 1 OR _port GREATER 65535)
        message(FATAL_ERROR "PLATFORM_URL=${PLATFORM_URL} has no valid port")
    endif()
endif()

# Loopback and private-network hosts (127/8, ::1, localhost, 10/8, 172.16/12,
# 192.168/16) are reachable only from the operator's own machine or network.
if(_host MATCHES "^(localhost|.*\\.localhost)$"
        OR _host MATCHES "^\\[(0*:)*:?0*1\\]$"
        OR _host MATCHES "^(127|10)\\.[0-9]+\\.[0-9]+\\.[0-9]+$"
        OR _host MATCHES "^172\\.(1[6-9]|2[0-9]|3[01])\\.[0-9]+\\.[0-9]+$"
        OR _host MATCHES "^192\\.168\\.[0-9]+\\.[0-9]+$")
    if(NOT ALLOW_LOCAL_PLATFORM)
        message(FATAL_ERROR "PLATFORM_URL=${PLATFORM_URL} names a loopback or private-network host that players "
                            "cannot reach; add ALLOW_LOCAL_PLATFORM=1 for a staging build")
    endif()
    message(WARNING "PLATFORM_URL=${PLATFORM_URL}: a staging build for a local platform (ALLOW_LOCAL_PLATFORM)")
endif()
