#pragma once

#include "commands/Context.h"

// F3 in point entry: the distance at which the pictures of the three panoramas agree best is set,
// as if the user had turned it there; where no distance is clearly best, a box says so and
// nothing changes.
void FindDistance(Context& c);
