list(APPEND MCR_PURE_SOURCES
  ${MCR_ROOT}/mcrpak/instfiles/seqlayout.cpp
  ${MCR_ROOT}/mcrpak/instfiles/datalayout.cpp
  ${MCR_ROOT}/mcrpak/instfiles/methlayout.cpp
  ${MCR_ROOT}/mcrpak/instfiles/tableconfig.cpp
  ${MCR_ROOT}/mcrpak/instfiles/tablerow.cpp)
