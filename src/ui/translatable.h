// SPDX-License-Identifier: MIT
/* N_() marks a fixed text the Linux programs show translated: it changes nothing here (the Windows
   resource script and program take the text as it stands), and xgettext collects every text it
   marks into the translation template. The Linux front-ends look a marked text up with
   translated() (ui/translation.h) where they show it; device values never pass through it. */
#pragma once

#ifndef N_
#define N_(text) text
#endif
