#pragma once

#include "commands/Context.h"

// The stored points and the table that lists them.

// Enter in point entry: the current point is stored and listed, and the new empty last row is
// selected, so that no point shows as selected.
void AddPoint(Context& c);
// Enter while a point is edited: the current point takes the place of the one at `index`, with
// its label and its table row, and that row stays selected.
void ReplacePoint(Context& c, std::size_t index);

// The selection moved to a row of the table (a point's index, or the empty row after them): a
// row with a point makes that point the current one and centres all three views on it.
void SelectCell(Context& c, int row);

// Moves the selection to a row and runs the selection step for it.
void SelectRow(Context& c, int row);

// "Punkt löschen": deletes the selected row's point; the rows below move up, labels and all, and
// the selection stays on its row.
void DeletePoint(Context& c);

// Whether "Punkt editieren" can take up the selected row: it holds a point, and no mode is on.
bool PointEditable(const Context& c);
// "Punkt editieren": the selected row's point goes back into point entry at its direction and
// distance, to be aimed and turned again; Enter puts it back in its place, Esc leaves it as it was.
void EditPoint(Context& c);

// Appends the table rows of points just added to the list (the last `count` of them) and selects
// the empty last row.
void AppendPointRows(Context& c, std::size_t count);
// The table row of a point with its label.
TableRow PointRow(const Context& c, const PointRec& p, int label);

// "Rückgängig" and "Wiederholen": the last addition, deletion or replacement of a point, or the
// last frame taken over from the pictures, taken back or done again. A point comes back with its
// label, its values and its place in the table. Outside idle mode they do nothing, as the table is
// then closed to changes.
void Undo(Context& c);
void Redo(Context& c);

// An edit done elsewhere, for "Rückgängig" to take back; what could be done again cannot be now.
void Remember(Context& c, Edit edit);

// Forgets every edit, as after a project load: what came before can no longer be taken back.
void ForgetEdits(Context& c);
