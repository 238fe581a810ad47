// The pictures of the window, drawn in code: the three 16 × 16 status pictures of the process
// grid (done: green ring, white disc, dark tick; in progress: blue ring, white disc, dark
// letter "i"; failed: red ring, white disc, dark cross) and the 48 × 48 program icon.
//
// Thread safety: call from the GUI thread (QPixmap).
#pragma once

#include <QColor>
#include <QPixmap>

#include "run/process_grid.h"

namespace app {

inline constexpr int kStatusPictureSize = 16;
inline constexpr int kProgramIconSize = 48;

// The ring colour of a status picture; invalid for RowStatus::kNone.
QColor StatusRingColor(run::RowStatus status);

// The picture of a status; a null pixmap for RowStatus::kNone (no picture).
QPixmap StatusPicture(run::RowStatus status);

// The program's icon.
QPixmap ProgramIcon();

}  // namespace app
