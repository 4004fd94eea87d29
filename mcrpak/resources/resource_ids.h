// Numbers of the library's resources shared by code and resource scripts.
#pragma once

#define MCR_RES_TYPE "MCRPAK_RES"
#define MCR_RES_POPUP_FONT "MSGPOPUP_FONT"
