# The loader is tamra-grab's own: build its line tools into the target.
find_package(CLI11 CONFIG REQUIRED)
target_sources(${fuzzTarget} PRIVATE ${PROJECT_SOURCE_DIR}/tools/tamra-grab/LineTools.cpp)
target_include_directories(${fuzzTarget} PRIVATE ${PROJECT_SOURCE_DIR}/tools)
target_link_libraries(${fuzzTarget} PRIVATE CLI11::CLI11)
