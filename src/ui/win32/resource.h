// SPDX-License-Identifier: MIT
// Symbolic ids of the program's resources, shared by tov-upgrade.rc and the dialog procedures.
#pragma once

// Dialog templates.
#define IDD_ADDRESS 101
#define IDD_CONFIRM 103
#define IDD_PASSWORD 104
#define IDD_CONNECTING 105
#define IDD_UPLOADING 110
#define IDD_SUCCESS 111
#define IDD_WAITING 114
#define IDD_NOTICE 139

// The program's icon.
#define IDI_TOV 106

// Controls. Ids are reused across templates: 1003 and 1005 are the MAC address and hardware
// version in the confirmation but the user name and password in the password dialog.
#define IDC_ADDRESS_ENTRY 1000
#define IDC_SERIAL_NUMBER 1002
#define IDC_MAC_ADDRESS 1003
#define IDC_USER_NAME 1003
#define IDC_SOFTWARE_VERSION 1004
#define IDC_HARDWARE_VERSION 1005
#define IDC_PASSWORD 1005
#define IDC_PRODUCT_NAME 1006
#define IDC_MESSAGE 1007
#define IDC_ADDRESS_HELP 1008
#define IDC_PROGRESS 1010
#define IDC_IMAGE_VERSION 1015
#define IDC_LOCAL_ADDRESSES 1017
#define IDC_NOTICE_TEXT 1021
#define IDC_STATIC_TEXT 65535
