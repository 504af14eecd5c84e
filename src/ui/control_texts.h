// SPDX-License-Identifier: MIT
/* The texts of the dialogs' buttons, labels and notes. Plain macros, so that the Windows resource
   script (through windres's preprocessor) and the C++ front-ends take them from this one place. */
#pragma once

#define TOV_TEXT_OK "OK"
#define TOV_TEXT_CANCEL "Cancel"
#define TOV_TEXT_CONTINUE "Continue"
#define TOV_TEXT_UPGRADE "Upgrade"

#define TOV_TEXT_YOUR_ADDRESS "Your IP Address"
#define TOV_TEXT_SERIAL_NUMBER "Serial Number"
#define TOV_TEXT_MAC_ADDRESS "MAC Address"
#define TOV_TEXT_SOFTWARE_VERSION "Software Version"
#define TOV_TEXT_HARDWARE_VERSION "Hardware Version"
#define TOV_TEXT_PRODUCT_NAME "Product Name"
#define TOV_TEXT_USER "User"
#define TOV_TEXT_PASSWORD "Password"
#define TOV_TEXT_WEB_ADDRESS "tov.example"

#define TOV_TEXT_WAITING_NOTE                                                                      \
    "Please make sure your TOV is not in use. Firmware upload will begin only when the TOV is "    \
    "idle."
#define TOV_TEXT_UPLOAD_NOTE                                                                       \
    "Please do not unplug the power of your TOV until the Status Light stops blinking"

#define TOV_TEXT_WAITING_TITLE "Waiting For Firmware Upload Request From TOV"
#define TOV_TEXT_UPLOADING_TITLE "Uploading Firmware To TOV"
#define TOV_TEXT_PASSWORD_TITLE "Enter Password Information"
