#pragma once

#include "commands/Context.h"

// The project file and the settings file that offers the last project at the next start.

// The state of a fresh start: no points, no panoramas, nothing measured, the dialogs' settings.
void StartSession(Context& c);

// "Projekt laden...": shows the open dialog and loads the chosen project. The file is read and
// checked whole before anything changes, so a file that fails leaves the work as it was.
void LoadProject(Context& c);

// "Projekt in neuem Fenster öffnen...": the chosen project opens in another Torbel of its own.
void OpenInNewWindow(Context& c);

// "Projekt speichern...": shows the save dialog and writes the project; an existing file is
// replaced only by a complete new one. False when nothing was saved.
bool SaveProject(Context& c);

// Whether the project holds changes that were not in it at the last save or load.
bool HasUnsavedChanges(const Context& c);

// The close request: the save dialog first. Cancelled while the project holds changes that no
// file holds, the user is asked whether to drop them. True when the window may close.
bool SaveAtClose(Context& c);

// "Punkte exportieren...": every point with its local coordinates as a CSV table, for a GIS or a
// point-cloud program.
void ExportPoints(Context& c);

// "Punkte als DXF exportieren...": the points, their labels and the stations as a DXF drawing for
// a CAD program; asks whether the sight lines go in too.
void ExportDxf(Context& c);

// The settings file lives beside the program where that folder takes new files, else in the
// user's configuration folder (torbel/ in it); a file beside a read-only program is read while the
// user has none there.
// At start: when the settings file names a project, it is offered in the open dialog.
void ReadSettingsFile(Context& c);
// At start: a project named on the command line is loaded at once, without a dialog; without one
// the settings file offers the last project.
void OpenAtStart(Context& c, const QString& project);
// At close: the present project path goes into the settings file.
void WriteSettingsFile(Context& c);
