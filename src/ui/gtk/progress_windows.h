// SPDX-License-Identifier: MIT
// The one progress window steps aside for the modal dialogs. GUI thread only.
#pragma once

// A modal dialog opens: the progress window is hidden while it stands.
void progressWindowMakeWayForDialog();
// The dialog has gone: the progress window comes back when a progress window is still open.
void progressWindowAfterDialog();
