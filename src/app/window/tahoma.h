// The Tahoma font of the window's title and grid. Debian's fonts-wine ships it outside
// fontconfig's path, so it is added to the application from its files when they are there;
// without them the system's sans-serif font stands in.
//
// Thread safety: call from the GUI thread after the QApplication exists.
#pragma once

#include <QFont>
#include <QString>

namespace app {

// Loads Tahoma (regular and bold) once; returns the family to use: "Tahoma", or the default
// family of the application when the files are not installed.
QString TahomaFamily();

// Tahoma, bold, 14.25 points: the window's title.
QFont TitleFont();

// Tahoma at the grid's 8.25 points.
QFont GridFont();

}  // namespace app
