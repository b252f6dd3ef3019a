# The GVCP packet fuzz target, for a build that compiles with -fsanitize=fuzzer. The protocol
# part of the GigE Vision device needs neither libTamra nor the operating system, so it is built
# here from its sources when src/gev is not part of the build.
set(TAMRA_GEV_SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/../src)
if(NOT TARGET tamra-gev-protocol)
    add_library(tamra-gev-protocol STATIC ${TAMRA_GEV_SOURCE_DIR}/gev/Gvcp.cpp
        ${TAMRA_GEV_SOURCE_DIR}/gev/Device.cpp ${TAMRA_GEV_SOURCE_DIR}/gev/Streamer.cpp
        ${TAMRA_GEV_SOURCE_DIR}/gev/GenicamXml.cpp)
    target_include_directories(tamra-gev-protocol PUBLIC ${TAMRA_GEV_SOURCE_DIR})
endif()
add_executable(gvcp_packet_fuzz ${CMAKE_CURRENT_LIST_DIR}/gvcp_packet_fuzz.cpp)
target_link_libraries(gvcp_packet_fuzz PRIVATE tamra-gev-protocol)
target_compile_options(gvcp_packet_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(gvcp_packet_fuzz PRIVATE -fsanitize=fuzzer)
