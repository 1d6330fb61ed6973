#include "gui/GL.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace QV {

namespace {

std::mutex glewLock;
bool glewReady = false;

bool disabledByUser(const char *feature) {
    const char *list = std::getenv("MURMELO_GL_DISABLE");
    return list && std::strstr(list, feature);
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
