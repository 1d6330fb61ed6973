// Small immediate-mode drawing helpers of the 2D passes.  [render]
#pragma once

#include "gui/Geometry.h"

namespace QV {

void setColour(const Colour &c);
// A filled axis-aligned rectangle in window coordinates.
void fillRect(float x0, float y0, float x1, float y1);
void fillBox(const Box &b);
// A one-pixel line loop along the box's edges.
void outlineBox(const Box &b);

} // namespace QV
