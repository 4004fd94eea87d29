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

// Dialogs of the macro commands: 265 the unreported elements, 325 the
// edit-method prompt, 369 the QC tune criteria. Their help buttons are IDHELP.
#define MCR_DLG_UNREPORTED 265
#define MCR_IDC_UNREP_MEASURED 1001
#define MCR_IDC_UNREP_ADD 1002
#define MCR_IDC_UNREP_DELETE 1003
#define MCR_IDC_UNREP_LIST 1004
#define MCR_DLG_EDIT_METH_ABORT 325
#define MCR_IDC_EDITMETH_ABORT 1000
#define MCR_IDC_EDITMETH_CONTINUE 1001
#define MCR_IDC_EDITMETH_BACK 1002
#define MCR_IDC_EDITMETH_ICON 1003
#define MCR_DLG_QC_TUNE 369
#define MCR_IDC_QCTUNE_SELECT 1001
#define MCR_IDC_QCTUNE_EXACT_MASS 1100
#define MCR_IDC_QCTUNE_FAIL_ACTION 1201
#define MCR_IDC_QCTUNE_BOX0 1299  // criterion k's box is BOX0 + k
#define MCR_IDC_QCTUNE_METHOD 1400  // criterion k's flag is METHOD + k
#define MCR_IDC_QCTUNE_PERCENT 1407

// Dialogs 353 (folders of a method and its calibration, one file name for
// both) and 355 (offline configuration), the folder icon of 353's browse
// buttons, and 355's choice lists.
#define MCR_DLG_SVMETHCAL 353
#define MCR_ICON_FOLDER 2000
#define MCR_IDC_SMC_METHOD 102
#define MCR_IDC_SMC_METHOD_BROWSE 103
#define MCR_IDC_SMC_CALIB 105
#define MCR_IDC_SMC_CALIB_BROWSE 106
#define MCR_IDC_SMC_NAME 108

#define MCR_DLG_OFFLINECFG 355
#define MCR_IDC_OFC_TYPE 103
#define MCR_IDC_OFC_PUMP 104
#define MCR_IDC_OFC_APP 106
#define MCR_IDC_OFC_SAMPLER 108
#define MCR_IDC_OFC_MASS_FIRST 110
#define MCR_IDC_OFC_MASS_LAST 119
#define MCR_IDC_OFC_LOAD_ONLINE 120
#define MCR_RES_CHOICES_TYPE "OFFLINECFG_RES"
