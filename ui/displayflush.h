// Sending what the program asked of the display server right away.
#pragma once

// Some event loops hold requests made from a timer until input arrives: a
// window's opacity set at each tick of the fade would reach an X server only
// when the user moves the mouse. This sends the waiting requests now; where
// the platform needs no such help it does nothing.
void FlushDisplay();
