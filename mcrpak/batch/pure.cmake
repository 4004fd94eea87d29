list(APPEND MCR_PURE_SOURCES ${MCR_ROOT}/mcrpak/batch/batchtext.cpp)
