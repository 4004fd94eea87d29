// Numbers of the library's resources shared by code and resource scripts.
#pragma once

#define MCR_RES_TYPE "MCRPAK_RES"
#define MCR_RES_POPUP_FONT "MSGPOPUP_FONT"

// The header variables WriteHdr2Data and GetHdrFromData accept: zero-
// terminated names, the first seven of which are the variables, then "EOV".
#define MCR_RES_VARLIST_TYPE "MCRPAK_VARLIST_RES"
#define MCR_RES_VARLIST 300

// Dialog 319, the choice of a tune step, and its drop-down list.
#define MCR_DLG_TUNE_STEP 319
#define MCR_IDC_TUNE_STEP_LIST 1001
