// SPDX-License-Identifier: MIT
/* The texts of the dialogs' buttons, labels and notes. Plain macros, so that the Windows resource
   script (through windres's preprocessor) and the C++ front-ends take them from this one place.
   N_() marks those the Linux programs translate; the web address stays as it is. */
#pragma once

#include "ui/translatable.h"

#define TOV_TEXT_OK N_("OK")
#define TOV_TEXT_CANCEL N_("Cancel")
#define TOV_TEXT_CONTINUE N_("Continue")
#define TOV_TEXT_UPGRADE N_("Upgrade")

#define TOV_TEXT_YOUR_ADDRESS N_("Your IP Address")
#define TOV_TEXT_SERIAL_NUMBER N_("Serial Number")
#define TOV_TEXT_MAC_ADDRESS N_("MAC Address")
#define TOV_TEXT_SOFTWARE_VERSION N_("Software Version")
#define TOV_TEXT_HARDWARE_VERSION N_("Hardware Version")
#define TOV_TEXT_PRODUCT_NAME N_("Product Name")
#define TOV_TEXT_USER N_("User")
#define TOV_TEXT_PASSWORD N_("Password")
#define TOV_TEXT_WEB_ADDRESS "tov.example"

#define TOV_TEXT_WAITING_NOTE                                                                      \
    N_("Please make sure your TOV is not in use. Firmware upload will begin only when the TOV is " \
       "idle.")
#define TOV_TEXT_UPLOAD_NOTE                                                                       \
    N_("Please do not unplug the power of your TOV until the Status Light stops blinking")

#define TOV_TEXT_WAITING_TITLE N_("Waiting For Firmware Upload Request From TOV")
#define TOV_TEXT_UPLOADING_TITLE N_("Uploading Firmware To TOV")
#define TOV_TEXT_PASSWORD_TITLE N_("Enter Password Information")
