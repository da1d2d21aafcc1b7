// Keys around the panels for what otherwise needs the mouse.
#pragma once

#include "runtime/runtime.h"

// Esc in the main panel's window does what a left click on Stop does: the
// Stop button acts on a mouse press only, so without it a running loop could
// not be ended from the keyboard.
void AttachStopKey(int panel, CtrlCallbackPtr stop);
