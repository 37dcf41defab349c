#pragma once

#include "commands/Context.h"

// "Standortpano laden...", "Vermessungspano 1 laden...", "Vermessungspano 2 laden...": puts a
// panorama into station 0, 1 or 2; for P0 the nodal point height is asked for then.
void LoadPanorama(Context& c, int station);

// The panorama file at `path`, with the shape its size and crop give it. Raises TorbelError with
// the message the user sees where it cannot be read.
PanoPicture ReadPicture(const QString& path);
