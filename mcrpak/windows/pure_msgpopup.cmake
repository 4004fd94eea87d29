list(APPEND MCR_PURE_SOURCES ${MCR_ROOT}/mcrpak/windows/msgpopupclock.cpp)
