// Titles and captions drawn from one vertex array: the static-text batch.
//
// Runs are added before the render thread starts (the window title) and on
// the render thread while the elements are prepared (group titles, button
// captions); everything else about the batch happens on the render thread.
// A run's colour is linked, not copied: the batch reads it every frame, so
// a fading colour makes its text fade.
#pragma once

#include "gui/Effect.h"
#include "gui/Geometry.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace QV {

class Manager;

class StaticText : public Effect {
public:
    explicit StaticText(Manager &manager);

    // Returns the run's index.
    int addRun(const std::string &text, float x, float y, const AtomicColour *colour);
    // [any]
    void setRunVisible(int index, bool visible);
    int runCount();

    void initGL() override;
    void draw2D() override;

private:
    struct Run {
        std::string text;
        const AtomicColour *colour;
        float x, y;
        int first = 0, count = 0;
        std::atomic<bool> visible{true};
    };
    void layout();

    Manager &manager;
    // Guards the list itself against setRunVisible from the UI thread while
    // the render thread adds runs; drawing needs no lock (same thread as adding).
    std::mutex runsLock;
    std::vector<std::unique_ptr<Run>> runs;
    std::vector<float> vertices;
    bool dirty = true;
    unsigned fontGeneration = 0;
};

} // namespace QV
