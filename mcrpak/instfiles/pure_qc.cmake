list(APPEND MCR_PURE_SOURCES
  ${MCR_ROOT}/mcrpak/instfiles/bytesource.cpp
  ${MCR_ROOT}/mcrpak/instfiles/masslist.cpp
  ${MCR_ROOT}/mcrpak/instfiles/calblayout.cpp
  ${MCR_ROOT}/mcrpak/instfiles/qclayout.cpp
  ${MCR_ROOT}/mcrpak/instfiles/runmasses.cpp
  ${MCR_ROOT}/mcrpak/instfiles/istdsetting.cpp)
