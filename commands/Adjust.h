#pragma once

#include "commands/Context.h"

// "Stationen aus den Bildern bestimmen...": the recorded station values and the panoramas' tilts
// adjusted to the tie points (stored points marked by hand in P1 and P2). The report is shown;
// "Übernehmen" takes the adjusted frame over as one step that "Rückgängig" takes back: the station
// values and tilts, every stored point's survey angles solved anew from its direction and distance
// in P0, and the frame's covariance. Where the adjustment fails, the error box says why and
// nothing changes. Outside idle mode it does nothing, as the stored points are then being worked
// on.
void DetermineStations(Context& c);
