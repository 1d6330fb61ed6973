#include "gui/RenderThread.h"

#include "gui/Font.h"
#include "gui/GL.h"
#include "gui/Group.h"
#include "gui/Manager.h"
#include "gui/Texture.h"
#include "gui/UIElement.h"
#include "platform/ErrorReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace QV {

RenderThread::RenderThread(Manager &manager, const platform::DrawingTarget &target)
    : m(manager), target(target), lightTargetX(manager.width() / 2.0f), lightTargetY(manager.height() / 2.0f) {}

RenderThread::~RenderThread() { stop(); }

void RenderThread::stop() {
    if (!isRunning.load()) return;
    quit.signal();
    if (!stopped.wait(kStopWaitMs)) {
        // Threads cannot be killed safely here; everything the thread reads
        // dies with the manager, so waiting on is the only safe way out.
        std::printf("render thread did not stop within %d ms; waiting for it\n", kStopWaitMs);
        std::fflush(stdout);
    }
    thread.join(-1);
    isRunning.store(false);
}

bool RenderThread::start() {
    int error = 0;
    const bool started = thread.start(
        [this] {
            try {
                main();
            } catch (...) {
            }
            stopped.signal();
        },
        &error);
    if (!started) {
        std::printf("failed to create render thread: %d\n", error);
        return false;
    }
    isRunning.store(true);
    return true;
}

void RenderThread::main() {
    initGL();
    for (;;) {
        for (const auto &effect : m.effectList())
            effect->tick();
        frame();
        countCpu();
        const int signalled = platform::waitForAny({&quit, &redrawLabels}, kFrameMs);
        if (signalled == 0) break;
        if (signalled == 1) renderLabelLayer();
    }
    teardownGL();
    countCpu();
}

void RenderThread::countCpu() {
    timespec t;
    if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t) == 0)
        cpuNanoseconds.store(t.tv_sec * 1000000000LL + t.tv_nsec, std::memory_order_relaxed);
}

void RenderThread::initGL() {
    surface.open(target);
    glewReady = initGLEW();
    if (!glewReady)
        platform::reportError("cannot initialise GLEW; textures, glyphs and effects are not set up");
    else
        prepareScene();
    createLabelTarget();
    preloadGlyphs(m.labelFont());
    renderLabelLayer();
}

void RenderThread::prepareScene() {
    glDisable(GL_MULTISAMPLE);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
    for (const auto &texture : m.textures())
        loadTexture(*texture);
    preloadGlyphs(m.mainFont());
    preloadGlyphs(m.textFieldFont());
    for (const auto &font : m.extraFonts())
        preloadGlyphs(font.get());
    for (const auto &element : m.elements())
        element->prepare();
    for (const auto &element : m.elements())
        element->prepareMore();
    for (const auto &effect : m.effectList())
        effect->initGL();
    m.initGL();
}

void RenderThread::createLabelTarget() {
    glGenTextures(1, &labelTextureName);
    glBindTexture(GL_TEXTURE_2D, labelTextureName);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, kLabelWidth, kLabelHeight, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);
    if (!glewReady || !hasFramebufferObjects()) return;
    glGenFramebuffersEXT(1, &framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, labelTextureName, 0);
    useFramebuffer = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) == GL_FRAMEBUFFER_COMPLETE_EXT;
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    if (!useFramebuffer) {
        glDeleteFramebuffersEXT(1, &framebuffer);
        framebuffer = 0;
    }
    framebufferInUse.store(useFramebuffer);
}

// Without a framebuffer object the labels are drawn into the back buffer
// and copied into the label texture; the next frame covers the back buffer
// completely, so nothing of this shows.
void RenderThread::renderLabelLayer() {
    const int w = m.width(), h = m.height();
    if (useFramebuffer) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, framebuffer);
    glViewport(0, 0, w, h);
    const Colour bg = m.backgroundColour();
    glClearColor(bg.r, bg.g, bg.b, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1); // stored upside down: row 0 is the window's top
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    m.drawBackground();
    if (Font *font = m.labelFont())
        for (const auto &element : m.elements())
            if (element->isVisible()) element->drawLabel(font);
    if (useFramebuffer) {
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    } else {
        glFlush();
        glBindTexture(GL_TEXTURE_2D, labelTextureName);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, std::min(w, kLabelWidth), std::min(h, kLabelHeight));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    labelRenders.fetch_add(1, std::memory_order_relaxed);
}

void RenderThread::frame() {
    glViewport(0, 0, m.width(), m.height());
    glClear(GL_DEPTH_BUFFER_BIT);
    perspectivePass();
    labelPass();
    const float w = float(m.width()), h = float(m.height());
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glTranslatef(-1, -1, 0);
    glScalef(2 / w, 2 / h, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    overlay();
    surface.swapBuffers();
    frames.fetch_add(1, std::memory_order_release);
}

void RenderThread::perspectivePass() {
    constexpr double kHalfField = 32.5 * 3.14159265358979323846 / 180; // half of the 65 degree field, in radians
    const double w = m.width(), h = m.height();
    const double eye = h / (2 * std::tan(kHalfField)); // one unit is one pixel at z = 0
    glDepthRange(0.1, 1);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double top = eye * std::tan(kHalfField), right = top * (w / h);
    glFrustum(-right, right, -top, top, eye, 100 * eye);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslated(-w / 2, -h / 2, -eye);
    glEnable(GL_CULL_FACE);
    glEnable(GL_LIGHTING);
    const float ambient[] = {0.2f, 0.2f, 0.2f, 1}, diffuse[] = {0.6f, 0.6f, 0.6f, 1};
    const float specular[] = {0.3f, 0.3f, 0.3f, 1}, position[] = {1, 1, 1, 1};
    const float materialSpecular[] = {0.7f, 0.5f, 0.5f, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    glEnable(GL_LIGHT0);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 40);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, materialSpecular);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    for (const auto &effect : m.effectList())
        effect->draw3D();
}

void RenderThread::labelPass() {
    glDepthRange(0, 0.1);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    m.drawLabelLayer();
}

void RenderThread::teardownGL() {
    surface.makeCurrent();
    for (const auto &texture : m.textures())
        unloadTexture(*texture);
    for (Font *font : {m.mainFont(), m.labelFont(), m.textFieldFont()})
        if (font) font->release();
    for (const auto &font : m.extraFonts())
        font->release();
    for (const auto &effect : m.effectList())
        effect->cleanupGL();
    m.cleanupGL();
    if (labelTextureName) glDeleteTextures(1, &labelTextureName);
    if (framebuffer) glDeleteFramebuffersEXT(1, &framebuffer);
    labelTextureName = framebuffer = 0;
    surface.close();
}

void Manager::drawLabelLayer() {
    if (!renderer) return;
    const float s = float(windowWidth) / RenderThread::kLabelWidth;
    const float t = float(windowHeight) / RenderThread::kLabelHeight;
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, renderer->labelTexture());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glColor3f(1, 1, 1);
    glBegin(GL_QUADS);
    glTexCoord2f(0, t);
    glVertex2f(-1, -1);
    glTexCoord2f(s, t);
    glVertex2f(1, -1);
    glTexCoord2f(s, 0);
    glVertex2f(1, 1);
    glTexCoord2f(0, 0);
    glVertex2f(-1, 1);
    glEnd();
    glDisable(GL_TEXTURE_2D);
}

} // namespace QV
