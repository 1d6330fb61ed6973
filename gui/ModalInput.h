// Something that takes all of an editor's input while it is shown, such as
// the preferences panel: the element tree hears nothing until it lets go.
// All operations are [ui] and take window coordinates (origin bottom-left).
#pragma once

#include "gui/Geometry.h"

namespace QV {

class ModalInput {
public:
    virtual ~ModalInput() = default;
    virtual void modalMotion(Point p) = 0;
    virtual void modalPress(Point p) = 0;
    virtual void modalRelease(Point p) = 0;
    // A typed character (8 backspace, 13 return, 27 escape).
    virtual void modalCharacter(int c) = 0;
};

} // namespace QV
