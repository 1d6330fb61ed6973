// Render cost of the default-sized editor (520 x 256, the standard tree of
// the tests: 10 knobs, 5 fields, buttons, info display) with the GL the
// machine has (Mesa's software renderer in CI).  Prints figures; asserts
// nothing about speed.  Run: xvfb-run -a ./build/tests/bench_gui_render
#include "tests/gui/GuiTestSupport.h"

#include "gui/ZephKnob.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace guitest;

namespace {

double processCpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// The X server's CPU seconds, when it is an Xvfb of ours we can find in
// /proc (it puts every frame on its screen); -1 otherwise.
double serverCpuSeconds() {
    const char *display = std::getenv("DISPLAY");
    if (!display) return -1;
    for (const auto &entry : std::filesystem::directory_iterator("/proc")) {
        std::ifstream cmdline(entry.path() / "cmdline");
        std::string text((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
        for (char &c : text)
            if (c == 0) c = ' ';
        if (text.rfind("Xvfb ", 0) != 0 || text.find(std::string(display) + " ") == std::string::npos) continue;
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        std::getline(stat, line);
        std::istringstream fields(line.substr(line.rfind(')') + 2));
        std::string field;
        double ticks = 0;
        for (int i = 3; i <= 15 && fields >> field; ++i)
            if (i == 14 || i == 15) ticks += std::stod(field);
        return ticks / double(sysconf(_SC_CLK_TCK));
    }
    return -1;
}

struct Sample {
    double wall, process, render, server;
    unsigned frames;
};

Sample sample(OpenEditor &e) {
    return {std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(),
            processCpuSeconds(), e.manager->renderCpuSeconds(), serverCpuSeconds(), e.manager->framesDrawn()};
}

void report(const char *what, const Sample &a, const Sample &b) {
    const double frames = b.frames - a.frames, wall = b.wall - a.wall;
    std::printf("%s: %.0f frames in %.1f s (%.1f per second)\n", what, frames, wall, frames / wall);
    std::printf("  render thread CPU per frame: %.2f ms\n", (b.render - a.render) * 1000 / frames);
    std::printf("  process CPU per frame (render thread, GL worker threads, idle): %.2f ms\n",
                (b.process - a.process) * 1000 / frames);
    std::printf("  process CPU share: %.1f %% of one core\n", (b.process - a.process) / wall * 100);
    if (a.server >= 0 && b.server >= 0)
        std::printf("  X server (Xvfb) CPU share: %.1f %% of one core\n", (b.server - a.server) / wall * 100);
}

// The host's idle, about 50 times a second, for seconds.
void idleFor(OpenEditor &e, double seconds, const std::function<void(int)> &eachTick = nullptr) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    for (int tick = 0; std::chrono::steady_clock::now() < end; ++tick) {
        if (eachTick) eachTick(tick);
        e.manager->idle();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

TEST(RenderBenchmark, DefaultSizedEditor) {
    HostScreen screen;
    OpenEditor e(screen);
    StandardTree &t = e.buildStandardTree();
    ASSERT_TRUE(e.open());
    idleFor(e, 1); // settle
    Sample a = sample(e);
    idleFor(e, 10);
    Sample b = sample(e);
    report("idle open editor", a, b);

    // Busy: the host automates a parameter every tick and the pointer moves
    // between two knobs (light and hover changes).
    const QV::Point k1 = OpenEditor::centreOf(*t.speedKnob), k2 = OpenEditor::centreOf(*t.effectKnob);
    a = sample(e);
    idleFor(e, 5, [&](int tick) {
        e.effect.setParameter(3, float(tick % 50) / 50);
        if (tick % 25 == 0) {
            const QV::Point &k = (tick / 25) % 2 ? k1 : k2;
            screen.moveTo(e.hostWindow, e.height, k.x, k.y);
        }
    });
    b = sample(e);
    report("editor with automation and hover", a, b);
    EXPECT_GT(b.frames, a.frames);
}

} // namespace
