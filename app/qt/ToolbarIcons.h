#pragma once

#include <QIcon>
#include <QImage>

#include "app/CommandStates.h"

namespace corvid {

// The 16 x 16 toolbar images of the main window, painted here: load (a database
// with an arrow into the list), export (a sheet with an outgoing arrow), flush (a
// database being emptied), show statement (a sheet under a lens), find similar
// (two alike sheets), options (a set of sliders) and about (an "i" in a circle).
// An empty icon for a command without an image.
QIcon ToolbarIcon(ECommand command);

// The program's own icon at `size` pixels square, drawn for that size: the
// database with a falling bar chart of its statements' load in front of it.
QImage ApplicationIconImage(int size);
// The icon at the sizes a desktop asks for (16 to 256 pixels).
QIcon ApplicationIcon();

}  // namespace corvid
