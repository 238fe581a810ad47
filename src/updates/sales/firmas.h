// The one step of every signature table of the sales documents (E____FacturasTablaFirmas and
// its sisters): the result of the survey the customer answered when signing.
//
// Thread safety: constant data.
#pragma once

#include "updates/familias/familia_anual.h"

namespace updates::sales {

inline constexpr familias::PasoTabla kPasosFirmas[] = {
    familias::Columna({"SURVEYRESULT", "INT", {}, true, "0"}),
};

}  // namespace updates::sales
