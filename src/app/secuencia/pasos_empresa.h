// The company phase: steps K1 to K86 and K-end on one company database, in their fixed
// order (later steps rely on what earlier ones create; the progress bar follows the position
// in the table). Each update routine of the company databases has its line here, with its
// guard and progress; K77 (the progress bar filled and emptied) and K-end (the company's
// release stamp) are inline work written as steps of their own.
//
// Thread safety: none; runs on the run's thread with the company's update connection.
#pragma once

#include <span>

#include "app/secuencia/pasos.h"

namespace app {

// The steps of one company, from K1 to K-end.
std::span<const Paso> PasosEmpresa();

}  // namespace app
