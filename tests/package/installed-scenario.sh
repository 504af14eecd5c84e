# SPDX-License-Identifier: MIT
# The installed package's program, played as tests/gtk plays the tests' build, through the same
# runner (tests/gtk/gtk-scenario.sh with TOV_GTK_SCENARIOS naming this file). The packaged
# program keeps no window log, so its windows are found on the display by their titles.

# await_title REGEX [SECONDS]: waits for a visible window whose whole title matches REGEX (an
# extended regular expression) and that is not the current one, then makes it current (WIN).
await_title() {
  local pattern=$1 limit=${2:-20} waited=0 found
  while :; do
    found=$(xdotool search --onlyvisible --name "^($pattern)\$" 2>/dev/null |
      grep -vx "${WIN:-none}" | tail -n 1)
    [ -n "$found" ] && break
    if [ "$waited" -ge $((limit * 10)) ]; then
      fail "no window titled /$pattern/ within ${limit}s"
      return 1
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  WIN=$found
  pass "window shown: $(xdotool getwindowname "$WIN")"
}

# A whole upgrade with the installed program, started by a normal user with an image file as from
# the desktop (the package carries no image): the ports below 1024 are refused, and without
# cap_net_bind_service the program names the port the system picked. The device gets the file's
# image and restarts into the new version.
scenario_installed_upgrade() {
  chmod 0777 "$OUT"
  local image=$OUT/tov-image.bin
  cp "$TOV_FIRMWARE_FILE" "$image"
  chmod 0644 "$image"
  local nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups --inh-caps=-all)
  # The system names the file's type, and the menu entry opens it: with the file given, the
  # program starts at its notice (without one it would ask for a file first).
  local type
  type=$(gio info -a standard::content-type "$image" | sed -n 's/^ *standard::content-type: //p')
  if [ "$type" = application/x-tov-firmware ]; then
    pass "the file's type: $type"
  else
    fail "the file's type is '$type', not application/x-tov-firmware"
  fi
  if gio mime application/x-tov-firmware | grep -q "org.example.tov_upgrade.desktop"; then
    pass "the menu entry opens application/x-tov-firmware"
  else
    fail "no application for application/x-tov-firmware: $(gio mime application/x-tov-firmware 2>&1)"
  fi
  "${nobody[@]}" gio launch /usr/share/applications/org.example.tov_upgrade.desktop "$image" \
    >"$OUT/launch.out" 2>&1 &
  await_title 'TOV-1000/2000 Firmware Upgrade' || return
  keys Escape
  WIN=none
  sleep 1
  # The terminal program, the same way: without --image it has nothing to send.
  if "${nobody[@]}" /usr/bin/tov-upgrade-cli --yes 127.0.0.2 >/dev/null 2>&1; then
    fail "the installed tov-upgrade-cli upgraded without an image"
  else
    pass "the installed tov-upgrade-cli needs --image (status $?)"
  fi
  # Its German catalogue, found beside the installed program.
  if "${nobody[@]}" env -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 LANGUAGE=de /usr/bin/tov-upgrade-cli \
    --help | grep -q "^Aufruf: "; then
    pass "the installed tov-upgrade-cli speaks German"
  else
    fail "the installed tov-upgrade-cli finds no German catalogue"
  fi
  if "${nobody[@]}" /usr/bin/tov-upgrade-cli --check --image "$image" | grep -q "SHA-256: "; then
    pass "tov-upgrade-cli --check --image shows the file's SHA-256"
  else
    fail "tov-upgrade-cli --check --image"
  fi

  start_sim --password secret --image-out "$OUT/received.bin" || return
  PROGRAM_ARG=$image start_program "${nobody[@]}"
  await_title 'TOV-1000/2000 Firmware Upgrade' || return
  shot installed-notice
  keys Tab Return
  await_title 'TOV-1000/2000 Firmware Upgrade' || return
  type_text 127.0.0.2
  keys Return
  await_title 'Enter Password Information' || return
  type_text secret
  keys Return
  await_title 'Confirm Upgrade to Ver\. 2\.0\.10\(e\)' || return
  shot installed-confirm
  keys Return
  await_title '(Uploading|Updating) Firmware to TOV@127\.0\.0\.2.*' 60 || return
  await_title 'TOV@127\.0\.0\.2 Upgrade Successful!' 90 || return
  shot installed-success
  keys Return
  program_ends 10
  sim_log '"event":"image_check".*"accepted":true'
  local port
  port=$(grep -o '"event":"upgrade_request".*"port":[0-9]*' "$OUT/sim.log" | grep -o '[0-9]*$')
  if [ -n "$port" ] && [ "$port" -ge 1024 ]; then
    pass "upgrade path names the fallback port $port"
  else
    fail "upgrade path port '$port' is not a port the system picked"
  fi
  if cmp -s "$OUT/received.bin" "$TOV_FIRMWARE_FILE"; then
    pass "the device installed the file's image"
  else
    fail "the device's installed image differs from $TOV_FIRMWARE_FILE"
  fi
  # TOV_GTK_LOG was set for the program (start_program): the packaged one must not have written.
  if [ -s "$UI_LOG" ]; then fail "the packaged program wrote a window log"; else pass "no window log"; fi
}
