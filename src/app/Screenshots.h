#pragma once
// A reviewer's helper: renders every main page of a started window to a PNG
// file, after a short exchange so that the line pages show real traffic.

#include <QString>

namespace orvan::app {

class TMainForm;

// Writes DIR/NN-caption.png for each page; returns the number of files
// written, or -1 when the directory cannot be created.
int RenderScreenshots(TMainForm& window, const QString& dir);

}  // namespace orvan::app
