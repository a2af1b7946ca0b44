#pragma once

// Puts the navigator bar on the accessibility bus as a tool bar whose
// children are its visible buttons only (hidden ones are not announced).
// Installed once; later calls do nothing.
void installNavigatorAccessibility();
