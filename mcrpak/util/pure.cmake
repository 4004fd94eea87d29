list(APPEND MCR_PURE_SOURCES ${MCR_ROOT}/mcrpak/util/strtext.cpp)
list(APPEND MCR_PURE_SOURCES ${MCR_ROOT}/mcrpak/util/numfmt.cpp)
