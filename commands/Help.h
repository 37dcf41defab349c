#pragma once

#include "commands/Context.h"

// "Info über Torbel": the about box with the quick guide, and its answer.
void ShowAbout(Context& c);

// "Tastenkürzel": every key and what it does.
void ShowKeys(Context& c);
