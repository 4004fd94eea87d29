list(APPEND MCR_PURE_SOURCES
  ${MCR_ROOT}/mcrpak/dialogs/unreported.cpp
  ${MCR_ROOT}/mcrpak/dialogs/qctunesettings.cpp)
