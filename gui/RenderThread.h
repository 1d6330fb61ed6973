// The render thread of one editor: its GL context, the label layer and the
// frames.  Every GL call of an editor happens on this thread.
//
// Frames are paced by a 33 ms wait on two events, quit and redraw-labels
// (quit wins when both are set), not by the display.  The label layer (the
// rarely changing labels) is drawn into a 1024 x 512 texture, through a
// framebuffer object or, where there is none, through the back buffer, and
// redrawn only on request; every frame draws it over the whole window.
#pragma once

#include "platform/Event.h"
#include "platform/GLSurface.h"
#include "platform/Thread.h"

#include <atomic>
#include <string>

namespace QV {

class Manager;

class RenderThread {
public:
    // [ui]
    RenderThread(Manager &manager, const platform::DrawingTarget &target);
    ~RenderThread(); // stops
    // [ui] Stops the thread: the quit event, then a wait of up to 5000 ms.
    void stop();

    // [ui] false (with a line on standard output) when no thread could start.
    bool start();
    bool running() const { return isRunning.load(); }
    // [any]
    void requestLabelRedraw() { redrawLabels.signal(); }

    // [any] statistics.  Whoever has seen a frame counted also sees what the
    // render thread did before drawing it (release and acquire).
    unsigned framesDrawn() const { return frames.load(std::memory_order_acquire); }
    unsigned labelLayerRenders() const { return labelRenders.load(std::memory_order_relaxed); }
    double cpuSeconds() const { return cpuNanoseconds.load(std::memory_order_relaxed) * 1e-9; }
    bool usesFramebuffer() const { return framebufferInUse.load(std::memory_order_relaxed); }
    float tooltipOpacity() const { return tooltipShown.load(std::memory_order_relaxed); }

    // [render] The label texture, for the manager's drawLabelLayer.
    unsigned labelTexture() const { return labelTextureName; }

    static constexpr int kLabelWidth = 1024;
    static constexpr int kLabelHeight = 512;
    static constexpr int kFrameMs = 33;
    static constexpr int kStopWaitMs = 5000;

private:
    void main();
    void initGL();
    void prepareScene();
    void createLabelTarget();
    void renderLabelLayer();
    void frame();
    void perspectivePass();
    void labelPass();
    void overlay();
    void setUpLights();
    void drawBanner();
    void drawParameterLine(int index, float x, float y);
    void drawTooltip();
    void teardownGL();
    void countCpu();

    Manager &m;
    platform::DrawingTarget target;
    platform::Thread thread;
    platform::AutoResetEvent quit, redrawLabels, stopped;
    std::atomic<bool> isRunning{false};
    platform::GLSurface surface;
    bool glewReady = false;
    unsigned labelTextureName = 0, framebuffer = 0;
    bool useFramebuffer = false;

    // Overlay state, render thread only.
    float lightTargetX, lightTargetY;
    float light[4] = {0, 0, 50.0f, 1.0f};
    float tooltipAlpha = 0, tooltipLeft = 0, tooltipBottom = 0, tooltipWidth = 0, tooltipHeight = 0;
    char tooltipText[256] = {};
    std::string frameText; // what the banner drew this frame
    int cachedHintId = 0;
    std::string cachedHint;

    std::atomic<unsigned> frames{0}, labelRenders{0};
    std::atomic<long long> cpuNanoseconds{0};
    std::atomic<bool> framebufferInUse{false};
    std::atomic<float> tooltipShown{0};
};

} // namespace QV
