/* Resource and control ids of the two dialog templates, shared by the .rc
   files and the dialog code (plain #defines, so windres can read them). */
#ifndef PIXTAGGER_UI_CONTROL_IDS_H
#define PIXTAGGER_UI_CONTROL_IDS_H

/* Rule list, template 101 */
#define IDD_CONFIG 101
#define IDC_NEW 1030
#define IDC_EDIT 1031
#define IDC_DELETE 1032
#define IDC_RULE_LIST 1033
#define IDC_CLOSE 1034

/* Rule editor, template 105 */
#define IDD_EDIT_CONDITION 105
#define IDC_CMB_A 1009
#define IDC_CMB_B1 1010
#define IDC_CMB_B2 1011
#define IDC_A 1012
#define IDC_B1 1013
#define IDC_B2 1014
#define IDC_TYPE_B 1021
#define IDC_TYPE_A 1022
#define IDC_ATT_NAME 1028
#define IDC_SPIN_A 1029
#define IDC_SPIN_B1 1030
#define IDC_SPIN_B2 1031
#define IDC_CAT_NAME 1035
#define IDC_AREA_A 1036
#define IDC_AREA_B 1037

#endif
