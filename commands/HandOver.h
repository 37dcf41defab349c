#pragma once

#include "commands/Context.h"

// "Punktliste ab Cursor erzeugen": the points from the selected row to the end go to the
// clipboard, and the companion program is started from the program's folder and waited for
// while the window is minimised.
void HandOver(Context& c);
