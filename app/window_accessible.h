// What assistive technology makes of the window itself and of its spoken notice.
#pragma once

namespace tqm {

// Installs the factory once; it must be in place before the window's interface is first made.
void installWindowAccessibility();

} // namespace tqm
