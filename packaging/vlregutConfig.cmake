# find_package(vlregut): the imported target vlregut::vlregut (the library and its C header).
include(${CMAKE_CURRENT_LIST_DIR}/vlregutTargets.cmake)
