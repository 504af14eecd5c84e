// SPDX-License-Identifier: MIT
// The message texts, byte for byte as the dialogs show them (the panels do not wrap, so the texts
// carry their own line breaks).
#include "ui/messages.h"

const char kPasswordNoticeText[] = N_("This TOV requires a password in order to be\r\n"
                                      "upgraded. If you do not have administrator's\r\n"
                                      "privileges for this unit, please contact your\r\n"
                                      "Service Provider or network administrator,\r\n"
                                      "before proceeding.\r\n"
                                      "\r\n"
                                      "You must provide the TOV administrator's\r\n"
                                      "password to upgrade. If you are the administrator\r\n"
                                      "and forgot the password, you may perform a\r\n"
                                      "factory reset by entering 9 9 9 9, option 52914#,\r\n"
                                      "and value 1 from a telephone connected to the\r\n"
                                      "unit to be upgraded.\r\n"
                                      "\r\n"
                                      "* * * * * * * * * * *  Warning  * * * * * * * * * * *\r\n"
                                      "All settings will revert to default values\r\n"
                                      "after factory reset!  You may not be able to\r\n"
                                      "reestablish service after completing this upgrade\r\n"
                                      "without first reentering service configuration\r\n"
                                      "information.");

const char kAddressIntroText[] = N_("This program will upgrade your TOV\r\nfirmware to:");

const char kAddressHelpText[] = N_("To proceed, please provide the IP address\r\n"
                                   "of your TOV. To find out the IP address\r\n"
                                   "of your TOV, using a telephone handset,\r\n"
                                   "enter 9 9 9 9, option 110#, and write down\r\n"
                                   "the value. For example, 10.1.0.123\r\n"
                                   "\r\n"
                                   "Please enter IP address of your TOV:");

const char kConfirmText[] = N_("The following information was extracted\r\n"
                               "from your TOV. Please click \"Upgrade\"\r\n"
                               "if you would like to proceed. If you would\r\n"
                               "like to quit click \"Cancel\".");

const char kOpeningWarningText[] = N_("WARNING: Forcing a firmware upgrade on your TOV\r\n"
                                      "without prior approval from your service provider or\r\n"
                                      "network administrator may cause interruption to your\r\n"
                                      "service.  If your TOV is managed by a service\r\n"
                                      "provider who retains administrative control of the\r\n"
                                      "device, please contact the service provider for\r\n"
                                      "authorization before proceeding.  In such cases, the\r\n"
                                      "most current, approved for service firmware is\r\n"
                                      "automatically provided by your service provider without\r\n"
                                      "any onus on the end user to upgrade manually.");

const char kSuccessText[] =
    N_("Your TOV has been successfully\r\nupgraded to the version shown\r\nbelow.");
