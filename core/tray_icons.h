// The tray's two icons: resource ids of the program, which are also the
// icons' identifiers with the shell. Plain #defines: the resource script
// includes this file too.
#pragma once

#define IDI_TRAY_RED 134    // a traffic light with the red lamp lit: not logged in
#define IDI_TRAY_GREEN 135  // the green lamp: logged in
