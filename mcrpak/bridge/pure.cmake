list(APPEND MCR_PURE_SOURCES ${MCR_ROOT}/mcrpak/bridge/errmap.cpp ${MCR_ROOT}/mcrpak/bridge/msgformat.cpp
     ${MCR_ROOT}/mcrpak/bridge/sjistext.cpp)
