// Resource identifiers of exthost's own windows.
#ifndef QUORBIT_EXTHOST_RESOURCE_H
#define QUORBIT_EXTHOST_RESOURCE_H

#define IDD_HOST_GENERAL        201
#define IDD_ADDRESS_BOOK        202
#define IDC_ADDRESS_LIST        2001
#define IDC_GENERAL_TEXT        2002

#endif
