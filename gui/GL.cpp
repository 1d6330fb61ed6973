#include "gui/GL.h"

#include "platform/Paths.h"

#include <mutex>
#include <string>

namespace QV {

namespace {

std::mutex glewLock;
bool glewReady = false;

bool disabledByUser(const char *feature) {
    std::string list;
    return platform::environmentValue("MURMELO_GL_DISABLE", list) && list.find(feature) != std::string::npos;
}

} // namespace

bool initGLEW() {
    std::lock_guard<std::mutex> guard(glewLock);
    if (!glewReady) glewReady = glewInit() == GLEW_OK;
    return glewReady;
}

bool hasFramebufferObjects() { return GLEW_EXT_framebuffer_object && !disabledByUser("fbo"); }
bool hasVertexPrograms() { return GLEW_ARB_vertex_program && !disabledByUser("arbvp"); }

} // namespace QV
