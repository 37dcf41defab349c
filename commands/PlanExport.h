#pragma once

#include "commands/Context.h"

// "Grundriss als PDF oder SVG speichern...": asks for the scale and the paper, then for the file,
// whose suffix decides between PDF and SVG, and writes it with the safe writer.
void SavePlan(Context& c);
