// The editor's share of the effect's construction and destruction.  A build
// with the editor compiles EditorAssembly.cpp; a build for a system whose
// window code does not exist yet compiles NoEditorAssembly.cpp, and the
// effect then tells hosts it has no editor.
#pragma once

#include "core/EffectServices.h"

namespace murmelo {

class QrvMurmelo;

// [ui] Makes the editor, which attaches itself to the effect (has-editor
// flag), runs its layout script and sets its initial size; null without one.
ParameterView *createEditor(QrvMurmelo *effect);
// [ui] Closes an open editor before the rest of the effect goes.
void closeEditor(QrvMurmelo *effect);

} // namespace murmelo
