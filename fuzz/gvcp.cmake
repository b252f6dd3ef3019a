# The GVCP packet fuzz target; include from a fuzz build that has the tamra-gev-protocol library
# (src/gev) and compiles with -fsanitize=fuzzer,address,undefined.
add_executable(gvcp_packet_fuzz ${CMAKE_CURRENT_LIST_DIR}/gvcp_packet_fuzz.cpp)
target_link_libraries(gvcp_packet_fuzz PRIVATE tamra-gev-protocol)
target_compile_options(gvcp_packet_fuzz PRIVATE -fsanitize=fuzzer)
target_link_options(gvcp_packet_fuzz PRIVATE -fsanitize=fuzzer)
