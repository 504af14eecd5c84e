# SPDX-License-Identifier: MIT
# The scenarios of the Linux program, one function each (see gtk-scenario.sh). Each plays the
# user with the keyboard (xdotool) and checks what the windows showed through the window log.
# The panels' texts flow: their line breaks made for the Windows dialogs' widths are spaces here,
# their blank lines paragraph breaks, and a banner line keeps a line of its own.

NOTICE_TEXT='WARNING: Forcing a firmware upgrade on your TOV without prior approval from your service provider or network administrator may cause interruption to your service.  If your TOV is managed by a service provider who retains administrative control of the device, please contact the service provider for authorization before proceeding.  In such cases, the most current, approved for service firmware is automatically provided by your service provider without any onus on the end user to upgrade manually.'
ADDRESS_HELP='To proceed, please provide the IP address of your TOV. To find out the IP address of your TOV, using a telephone handset, enter 9 9 9 9, option 110#, and write down the value. For example, 10.1.0.123\n\nPlease enter IP address of your TOV:'
CONFIRM_TEXT='The following information was extracted from your TOV. Please click "Upgrade" if you would like to proceed. If you would like to quit click "Cancel".'
PASSWORD_TEXT='This TOV requires a password in order to be upgraded. If you do not have administrator'"'"'s privileges for this unit, please contact your Service Provider or network administrator, before proceeding.\n\nYou must provide the TOV administrator'"'"'s password to upgrade. If you are the administrator and forgot the password, you may perform a factory reset by entering 9 9 9 9, option 52914#, and value 1 from a telephone connected to the unit to be upgraded.\n\n* * * * * * * * * * *  Warning  * * * * * * * * * * *\nAll settings will revert to default values after factory reset!  You may not be able to reestablish service after completing this upgrade without first reentering service configuration information.'
SUCCESS_TEXT='Your TOV has been successfully upgraded to the version shown below.'
WAITING_NOTE='Please make sure your TOV is not in use. Firmware upload will begin only when the TOV is idle.'
UPLOAD_NOTE='Please do not unplug the power of your TOV until the Status Light stops blinking'

# The notice, answered with "Continue": Tab from the focused "Cancel", then Enter.
continue_notice() {
  await notice || return 1
  keys Tab Return
}

# The address dialog, answered with the device's address and Enter.
enter_address() {
  await address || return 1
  type_text "$1"
  keys Return
}

check_notice() {
  has notice "title: TOV-1000/2000 Firmware Upgrade"
  has notice "label: $NOTICE_TEXT"
  has notice "button: Continue"
  has notice "button: Cancel"
  has notice "focus: button Cancel"
  has notice "default: button Cancel"
  centred notice
}

# Enter at the notice presses its default button, "Cancel": the program ends without a word.
scenario_notice_enter() {
  start_sim || return
  start_program
  await notice || return
  check_notice
  shot notice
  keys Return
  program_ends 10
  logged "close: notice 0"
  never_logged "^show: (address|error)"
}

# Every window up to the confirmation, with the keyboard: an invalid address first, letters that
# the address entry refuses, then the device's address; Escape at the confirmation aborts.
scenario_address_and_confirm() {
  start_sim || return
  start_program
  continue_notice || return
  logged "close: notice 1"
  await address || return
  has address "title: TOV-1000/2000 Firmware Upgrade"
  has address "label: This program will upgrade your TOV firmware to:"
  has address "label: Version 2.0.10(e)"
  has address "label: $ADDRESS_HELP"
  has address "label: Your IP Address"
  has address "choice local-addresses 0: 127.0.0.1"
  has address "selected local-addresses: 0"
  has address "icon"
  has address "button: OK"
  has address "button: Cancel"
  has address "focus: address-entry"
  has address "default: button OK"
  centred address
  shot address
  type_text "1.2.3"
  keys Return
  await invalid-address || return
  has invalid-address "title: Error"
  has invalid-address "label: Invalid IP Address"
  has invalid-address "button: OK"
  shot invalid-address
  keys Return
  logged "focus: address-entry"
  # Letters and blanks never get in; the typed text stays for correction.
  type_text "x .4y"
  keys Return
  await invalid-address || return
  has invalid-address "label: Invalid IP Address"
  keys Return
  logged "close: invalid-address 1"
  keys ctrl+a BackSpace
  type_text "127*0*0*2"
  keys Return
  logged "close: address 1"
  await confirm || return
  has confirm "title: Confirm Upgrade to Ver. 2.0.10(e)"
  has confirm "label: $CONFIRM_TEXT"
  # The values as selectable labels, in the terminal program's order (the grid logs its
  # children last first).
  local rows='^(value |label: (Product Name|MAC Address|Software Version|Hardware Version|'
  rows+='Serial Number)$)'
  if diff <(block confirm | grep -E "$rows") - >"$OUT/confirm-rows.diff" <<'ROWS'
value serial-number: FM2000A123456
label: Serial Number
value hardware-version: 1.2
label: Hardware Version
value software-version: 2.0.9(a)
label: Software Version
value mac-address: 00:0E:08:12:34:56
label: MAC Address
value product-name: TOV-2000
label: Product Name
ROWS
  then
    pass "confirm: the five values with their captions, Product Name first, Serial Number last"
  else
    fail "confirm: values or their order differ: $OUT/confirm-rows.diff"
  fi
  has confirm "focus: button Upgrade"
  has confirm "default: button Upgrade"
  centred confirm
  shot confirm
  keys Escape
  logged "close: confirm 0"
  await error || return
  has error "title: TOV Firwmare Upgrade Error"
  has_error "Upgrade Failed: User Abort"
  has error "button: OK"
  shot error
  keys Return
  program_ends 10
  # The connecting window was up while the page was fetched, with the address typed.
  if grep -Fxq "title: Connecting with TOV@127*0*0*2" "$UI_LOG"; then
    pass "connecting window titled with the address as typed"
  else
    fail "no connecting window titled Connecting with TOV@127*0*0*2"
  fi
  sim_log '"event":"http_request"'
  never_logged "^show: waiting"
}

# Escape in the address dialog ends the program quietly.
scenario_address_escape() {
  start_sim || return
  start_program
  continue_notice || return
  await address || return
  type_text "127.0.0.2"
  keys Escape
  logged "close: address 0"
  program_ends 10
  never_logged "^show: (error|connecting)"
}

# The close box of a modal dialog is its Cancel: at the confirmation, an abort.
scenario_confirm_close_box() {
  start_sim || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await confirm || return
  "$X_CLOSE" "$WIN"
  logged "close: confirm 0"
  await error || return
  has_error "Upgrade Failed: User Abort"
  keys Return
  program_ends 10
}

# A device that never answers: the connecting window stays until its Cancel, pressed with the
# keyboard (the focus is on it), then the abort and the end.
scenario_cancel_connecting() {
  start_sim --fault-hang 1 || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await connecting || return
  has connecting "title: Connecting with TOV@127.0.0.2"
  has connecting "progress bar"
  has connecting "button: Cancel"
  has connecting "focus: button Cancel"
  centred connecting
  sleep 1 # the bar moves meanwhile
  shot connecting
  keys Return
  logged "done: connecting"
  await error || return
  has_error "Upgrade Failed: User Abort"
  keys Return
  program_ends 10
  never_logged "^show: confirm"
}

# The close box of a modeless window cancels the upgrade too.
scenario_close_connecting() {
  start_sim --fault-hang 1 || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await connecting || return
  sleep 0.5
  "$X_CLOSE" "$WIN"
  await error || return
  has_error "Upgrade Failed: User Abort"
  keys Return
  program_ends 10
}

# A device that takes the upgrade request and never fetches the file: the waiting window stays
# until the user cancels it with its close box.
scenario_cancel_waiting() {
  start_sim --fault-close 2 || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await confirm || return
  keys Return
  await waiting || return
  has waiting "title: Waiting For Firmware Upload Request From TOV"
  has waiting "label: $WAITING_NOTE"
  has waiting "progress bar"
  has waiting "focus: button Cancel"
  centred waiting
  sleep 1
  shot waiting
  "$X_CLOSE" "$WIN"
  logged "done: waiting"
  await error || return
  has_error "Upgrade Failed: User Abort"
  keys Return
  program_ends 10
  never_logged "^show: uploading"
}

# The password prompt: a refused password brings it back with "admin" and an empty password
# again; Cancel there aborts.
scenario_password_cancel() {
  start_sim --password secret || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await password || return
  check_password
  shot password
  # Another user name and a wrong password: Shift+Tab (ISO_Left_Tab) back to the user field.
  keys ISO_Left_Tab
  logged "focus moved: user"
  keys ctrl+a BackSpace
  type_text "bob"
  keys Tab
  logged "focus moved: password"
  type_text "wrong"
  keys Return
  logged "close: password 1"
  await password || return
  has password "entry user: admin"
  has password "masked entry password: "
  keys Escape
  await error || return
  has_error "Upgrade Failed: User Abort"
  keys Return
  program_ends 10
  sim_log 'username=\\"bob\\"'
}

check_password() {
  has password "title: Enter Password Information"
  has password "label: $PASSWORD_TEXT"
  has password "label: User"
  has password "label: Password"
  has password "entry user: admin"
  has password "masked entry password: "
  has password "focus: password"
  has password "default: button OK"
  centred password
}

# A whole upgrade of a device that wants a password, 49,984 ms wait included; the success window
# shows the version the device reports afterwards. RUNNER (e.g. setpriv as nobody) may wrap the
# program.
full_upgrade() {
  start_sim --password secret --image-out "$OUT/received.bin" || return
  start_program "$@"
  continue_notice || return
  enter_address 127.0.0.2 || return
  await password || return
  # The progress window steps aside while a dialog stands.
  if xdotool search --onlyvisible --name '^Connecting with' >/dev/null 2>&1; then
    fail "the connecting window stands beside the password dialog"
  else
    pass "the connecting window is hidden under the password dialog"
  fi
  type_text "secret"
  keys Return
  await confirm || return
  keys Return
  logged "close: confirm 1"
  await uploading 60 || return
  has uploading "title: Uploading Firmware To TOV"
  has uploading "label: $UPLOAD_NOTE"
  has uploading "focus: button Cancel"
  centred uploading
  logged "title: uploading: Updating Firmware to TOV@127.0.0.2" 60
  shot updating
  await success 90 || return
  has success "title: TOV@127.0.0.2 Upgrade Successful!"
  has success "label: $SUCCESS_TEXT"
  has success "value software-version: 2.0.10(e)"
  has success "button: OK"
  has success "focus: button OK"
  centred success
  shot success
  # Escape ends it as "OK" does (result 0 instead of 1); the program ends either way.
  if [ "${SUCCESS_KEY:-Return}" = Escape ]; then
    keys Escape
    logged "close: success 0"
  else
    keys Return
    logged "close: success 1"
  fi
  program_ends 10
  sim_log '"event":"image_check".*"accepted":true'
  never_logged "^show: error"
  if grep -Eq "^title: uploading: Uploading Firmware to TOV@127.0.0.2 [0-9]+/725912 Bytes$" "$UI_LOG"; then
    pass "upload window counted the bytes in its title"
  else
    fail "no byte count in the upload window's title"
  fi
  # One progress window lived through the stage: made once, the same X window for every request
  # (the information page, the password's retry, the upgrade request, the requests after the
  # restart), the wait and the upload.
  local made windows connecting last_upload last_connecting
  made=$(grep -cx "create: progress window" "$UI_LOG")
  windows=$(awk '/^show: (connecting|waiting|uploading)$/ {p = 1} p && /^window: / {print; p = 0}' \
    "$UI_LOG" | sort -u | wc -l)
  connecting=$(shows connecting)
  last_upload=$(grep -nx "show: uploading" "$UI_LOG" | tail -n 1 | cut -d: -f1)
  last_connecting=$(grep -nx "show: connecting" "$UI_LOG" | tail -n 1 | cut -d: -f1)
  if [ "$made" = 1 ] && [ "$windows" = 1 ] && [ "$connecting" -ge 4 ] &&
    [ "${last_connecting:-0}" -gt "${last_upload:-0}" ]; then
    pass "one progress window for $connecting requests, the wait and the upload"
  else
    fail "progress windows: $made made, $windows X windows, $connecting requests" \
      "(the last at line ${last_connecting:-none}, the upload at ${last_upload:-none})"
  fi
}

scenario_full_upgrade() {
  full_upgrade
  sim_log '"event":"upgrade_request".*"port":69,'
}

# As a normal user the ports 69-168 are refused; the upgrade path names the port the system
# picked, and the device fetches the image from there.
scenario_full_upgrade_as_nobody() {
  chmod 0777 "$OUT"
  chmod 0666 "$UI_LOG" 2>/dev/null || true
  SUCCESS_KEY=Escape full_upgrade setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all
  local port
  port=$(grep -o '"event":"upgrade_request".*"port":[0-9]*' "$OUT/sim.log" | grep -o '[0-9]*$')
  if [ -n "$port" ] && [ "$port" -ge 1024 ]; then
    pass "upgrade path names the fallback port $port"
  else
    fail "upgrade path port '$port' is not a port the system picked"
  fi
}

# Cancel in the upload window during the wait after the transfer: the abort, never the success.
scenario_cancel_settling() {
  start_sim || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await confirm || return
  keys Return
  await uploading 60 || return
  logged "title: uploading: Updating Firmware to TOV@127.0.0.2" 60 || return
  keys Return
  logged "done: uploading"
  await error || return
  has_error "Upgrade Failed: User Abort"
  keys Return
  program_ends 10
  never_logged "^show: success"
}

# An image older than what the device runs: a warning before the confirmation, Cancel its
# default (Enter: the abort, and the device is never told to fetch); "Upgrade Anyway" goes on to
# the confirmation.
IMAGE_CHECK_TEXT="Before this TOV is upgraded, note:\n\n- This image's version 2.0.10(e) is older than the TOV's version 3.1.0(a).\n\nUpgrade anyway only if you are sure this image is right for this TOV."
scenario_image_check_warning() {
  start_sim --software-version "3.1.0(a)" || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await image-check || return
  has image-check "title: Check the Firmware Image"
  has image-check "label: $IMAGE_CHECK_TEXT"
  has image-check "button: Upgrade Anyway"
  has image-check "button: Cancel"
  has image-check "focus: button Cancel"
  has image-check "default: button Cancel"
  centred image-check
  shot image-check
  keys Return
  logged "close: image-check 0"
  await error || return
  has_error "Upgrade Failed: User Abort"
  keys Return
  program_ends 10
  never_logged "^show: confirm"
  if grep -q '"event":"upgrade_request"' "$OUT/sim.log"; then
    fail "the device was told to fetch"
  else
    pass "the device was never told to fetch"
  fi

  unset SEEN_notice SEEN_address SEEN_image_check SEEN_error # a new run, a new window log
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await image-check || return
  keys Tab Return # from Cancel to "Upgrade Anyway"
  logged "close: image-check 1"
  await confirm || return
  keys Escape
  logged "close: confirm 0"
  await error || return
  keys Return
  program_ends 10
}

# A build that carries no image asks for one first, with the desktop's file chooser; the image
# chosen (here the stand-in, known by its bytes) is named in the address dialog.
scenario_file_chooser() {
  start_sim || return
  cp "$NATIVE/firmware/tov-firmware.bin" "$OUT/stand-in.bin"
  PROGRAM=$NATIVE/tests/gtk/tov-upgrade-logged-no-image start_program
  await file-chooser || return
  has file-chooser "title: Choose a TOV Firmware Image"
  shot file-chooser
  type_text "$OUT/stand-in.bin"
  keys Return
  logged "close: file-chooser 1"
  continue_notice || return
  await address || return
  has address "label: Version 2.0.10(e)"
  has address "label: Test image, for simulated TOVs only (stand-in.bin)"
  shot address-from-file
  keys Escape
  logged "close: address 0"
  program_ends 10
  never_logged "^show: (error|connecting)"
}

# What a screen reader finds in each dialog over AT-SPI (registered to run in a D-Bus session of
# its own): every control with its role and name, every caption tied to its control, and the
# mnemonics at work. A refused password's abort brings the error box; then a whole upgrade,
# through the success window.
TITLE='TOV-1000/2000 Firmware Upgrade'
scenario_accessibility() {
  [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || { fail "no D-Bus session for AT-SPI"; return; }
  unset NO_AT_BRIDGE GTK_A11Y
  start_sim --password secret || return
  start_program
  continue_notice || return
  enter_address 127.0.0.2 || return
  await password || return
  keys Escape
  await error || return
  a11y error Error "alert: Error
icon: Error
label: Upgrade Failed
label: User Abort
push button: OK
push button: Try Again"
  keys Return
  program_ends 10

  unset SEEN_notice SEEN_address SEEN_password SEEN_error # a new run, a new window log
  start_program
  await notice || return
  a11y notice "$TITLE" "dialog: $TITLE
label: $NOTICE_TEXT
push button: Cancel
push button: Continue"
  keys alt+o # the mnemonic of "Continue"
  logged "close: notice 1"
  await address || return
  a11y address "$TITLE" "dialog: $TITLE
label: This program will upgrade your TOV firmware to:
icon: 
label: Version 2.0.10(e)
label: $ADDRESS_HELP -> text: Please enter IP address of your TOV
text: Please enter IP address of your TOV
label: Your IP Address -> combo box: Your IP Address
combo box: Your IP Address
label: Test image, for simulated TOVs only
push button: Cancel
push button: OK"
  type_text 127.0.0.2
  keys Return
  await password || return
  a11y password "Enter Password Information" "dialog: Enter Password Information
label: $PASSWORD_TEXT
label: User -> text: User
text: User
label: Password -> password text: Password
password text: Password
push button: Cancel
push button: OK"
  # Each caption's mnemonic moves the focus to its field.
  keys alt+u
  logged "focus moved: user"
  keys alt+p
  if [ "$(grep '^focus moved: ' "$UI_LOG" | tail -n 1)" = "focus moved: password" ]; then
    pass "password: Alt+P moved the focus to the password"
  else
    fail "password: Alt+P did not move the focus to the password"
  fi
  type_text secret
  keys Return
  await confirm || return
  a11y confirm "Confirm Upgrade to Ver. 2.0.10(e)" "dialog: Confirm Upgrade to Ver. 2.0.10(e)
label: $CONFIRM_TEXT
label: Product Name -> label: TOV-2000
label: TOV-2000
label: MAC Address -> label: 00:0E:08:12:34:56
label: 00:0E:08:12:34:56
label: Software Version -> label: 2.0.9(a)
label: 2.0.9(a)
label: Hardware Version -> label: 1.2
label: 1.2
label: Serial Number -> label: FM2000A123456
label: FM2000A123456
push button: Cancel
push button: Upgrade"
  keys Return
  await success 90 || return
  a11y success "TOV@127.0.0.2 Upgrade Successful!" "dialog: TOV@127.0.0.2 Upgrade Successful!
label: $SUCCESS_TEXT
label: tov.example
label: 2.0.10(e)
push button: OK"
  keys Return
  program_ends 10
}

# A failure before the device was told to fetch anything offers "Try Again", back to the address
# with what was typed; the notice is not shown again. The confirmation's Cancel offers none.
scenario_try_again() {
  start_sim || return
  start_program
  continue_notice || return
  enter_address 127.0.0.3 || return
  await error || return
  has_error "Upgrade Failed: Can't connect to TOV"
  has error "button: Try Again"
  has error "default: button OK"
  shot try-again
  keys alt+t
  logged "close: error 1"
  await address || return
  has address "entry address-entry: 127.0.0.3"
  keys ctrl+a
  type_text 127.0.0.2
  keys Return
  await confirm || return
  keys Escape
  await error || return
  has_error "Upgrade Failed: User Abort"
  if block error | grep -Fxq "button: Try Again"; then
    fail "the confirmation's Cancel offered another try"
  else
    pass "the confirmation's Cancel ends the upgrade"
  fi
  keys Return
  program_ends 10
  if [ "$(shows notice)" -eq 1 ]; then pass "one notice"; else fail "the notice came again"; fi
}

# In German (LANGUAGE=de; the C library honours it under C.UTF-8): the titles, buttons and
# captions translated up to the confirmation, the device's values as it reported them, and
# Escape's error box.
scenario_german() {
  start_sim || return
  start_program env -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 LANGUAGE=de \
    TOV_LOCALEDIR="$TOV_GTK_BUILD/locale"
  await notice || return
  has notice "title: TOV-1000/2000 Firmware-Aktualisierung"
  has notice "button: Fortfahren"
  has notice "button: Abbrechen"
  has notice "default: button Abbrechen"
  shot notice-de
  keys Tab Return
  await address || return
  has address "label: Version 2.0.10(e)"
  has address "label: Ihre IP-Adresse"
  has address "button: Abbrechen"
  shot address-de
  type_text "127.0.0.2"
  keys Return
  await confirm || return
  has confirm "title: Aktualisierung auf Version 2.0.10(e) bestätigen"
  has confirm "label: Seriennummer"
  has confirm "label: Softwareversion"
  has confirm "value software-version: 2.0.9(a)"
  has confirm "default: button Aktualisieren"
  shot confirm-de
  keys alt+c # "Abbrechen" lacks "C": its mnemonic falls to the "c"
  await error || return
  has error "title: Fehler bei der TOV-Firmware-Aktualisierung"
  has_error "Aktualisierung fehlgeschlagen: Vom Benutzer abgebrochen"
  shot error-de
  keys Return
  program_ends 10
}
