list(APPEND MCR_PURE_SOURCES
  ${MCR_ROOT}/mcrpak/dialogs/unreported.cpp
  ${MCR_ROOT}/mcrpak/dialogs/qctunesettings.cpp
  ${MCR_ROOT}/mcrpak/dialogs/svmethcal.cpp
  ${MCR_ROOT}/mcrpak/dialogs/offlinecfg.cpp)
