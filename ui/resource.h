// Resource and control identifiers, shared by Quorbit.rc and the code.
#ifndef QUORBIT_RESOURCE_H
#define QUORBIT_RESOURCE_H

#define IDD_HANDLER_DEFINITION      101
#define IDD_MESSAGE_HANDLERS        102

// "Message Handler Definition"
#define IDC_PREVENT_OPEN            1001
#define IDC_CONFIRM_DIALOG          1002
#define IDC_SENDER_EMAIL_ADDRESS    1005
#define IDC_BROWSE_SENDER           1006
#define IDC_BROWSE_PROGRAM          1007
#define IDC_FILE_PATH               1008
#define IDC_DEBUG                   1009
#define IDC_HANDLER_NAME            1010
#define IDC_DEFINITION_OK           1013
#define IDC_DEFINITION_CANCEL       1014
#define IDC_DEFINITION_HELP         1015

// "Message Handlers"
#define IDC_HANDLER_LIST            1011
#define IDC_ADD_HANDLER             1012
#define IDC_REMOVE_HANDLER          1013
#define IDC_HANDLER_PROPERTIES      1014

#define IDC_STATIC                  -1

// Version: QUORBIT_VERSION_BINARY and QUORBIT_VERSION_TEXT, generated
// from the project's version.
#include "quorbit_version.h"

#endif
