// Registry entries of the module's two classes, in the standard form of an
// ActiveX control and of a property page. Each returns true on success.
#pragma once

namespace qex::glyphon {

bool RegisterControlClass();
bool UnregisterControlClass();
bool RegisterPropPageClass();
bool UnregisterPropPageClass();

}  // namespace qex::glyphon
