#pragma once

#include <QString>

// The about box's text: the window caption, an authorship notice and the quick guide, 41 lines
// joined by CR LF.
QString AboutText(const QString& caption);

// The list of every key and what it does, lines joined by CR LF.
QString KeysText();
