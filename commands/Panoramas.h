#pragma once

#include "commands/Context.h"

// "Standortpano laden...", "Vermessungspano 1 laden...", "Vermessungspano 2 laden...": puts a
// panorama into station 0, 1 or 2; for P0 the nodal point height is asked for then.
void LoadPanorama(Context& c, int station);
