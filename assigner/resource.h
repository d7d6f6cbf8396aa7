// resource.h: KeyAssigner's resource ids, shared by assigner.rc and the code.
#ifndef ASSIGNER_RESOURCE_H
#define ASSIGNER_RESOURCE_H

#define IDD_ASSIGN 101
#define IDB_LOGO 103

#define IDC_OPTION_NONE 1000
#define IDC_OPTION_N 1001
#define IDC_OPTION_NS 1002
#define IDC_BUTTON_LIST 1003
#define IDC_STATIC_NONE 0xFFFF

#endif
