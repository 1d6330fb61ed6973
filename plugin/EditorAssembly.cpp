#include "plugin/EditorAssembly.h"

#include "core/QrvMurmelo.h"
#include "layout/QrvMurmeloView.h"

namespace murmelo {

// The editor runs its layout script now, so the host can ask for the
// editor's size before opening it.
ParameterView *createEditor(QrvMurmelo *effect) {
    auto *view = new QrvMurmeloView(effect); // attaches itself: has-editor flag
    view->createLuaState();
    int width = 0, height = 0;
    view->queryWindowSize(width, height);
    view->setInitialSize(width, height);
    return view;
}

void closeEditor(QrvMurmelo *effect) {
    if (QV::Editor *view = effect->getEditorView()) view->close();
}

QV::Editor *QrvMurmelo::getEditorView() { return static_cast<QV::Editor *>(editorView); }

} // namespace murmelo
