// The control's verbs as containers list them: Edit (the primary verb,
// in-place activation) and Properties (the property frame).
#pragma once

#include <oleidl.h>

namespace qex::glyphon {

HRESULT CreateVerbEnum(IEnumOLEVERB** out);

}  // namespace qex::glyphon
