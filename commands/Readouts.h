#pragma once

#include "commands/Context.h"

// The labels that read out the current point and the selected points. The commands that move
// them write these after each move; the texts depend on nothing but the state and the table.

// "hor° vert° Entf.:dist", as LblCp shows the current point.
QString CurrentPointText(const Context& c);

// Shows where the current point lies (local X, Y, Z in metres) and how many centimetres of
// distance one pixel of guide-line shift means in P1 and P2, with a warning where even the better
// view fixes the distance to no better than 1 %; how firmly the views fix its place (deviations
// across and along P0's sight line, the angles the sight lines meet at, with a warning below 15
// degrees).
void ShowPosition(Context& c);
// The distances between the two selected points (level, slope and height), or nothing unless
// exactly two rows with points are selected.
void ShowSelectedPair(Context& c);
