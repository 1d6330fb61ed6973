#include "plugin/EditorAssembly.h"

namespace murmelo {

ParameterView *createEditor(QrvMurmelo *) { return nullptr; }

void closeEditor(QrvMurmelo *) {}

} // namespace murmelo
