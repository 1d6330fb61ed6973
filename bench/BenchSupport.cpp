#include "bench/BenchSupport.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace bench {

Stereo testSignal(int frames, float rate) {
    Stereo s(frames);
    std::mt19937 rng(42);
    std::uniform_real_distribution<float> noise(-0.05f, 0.05f);
    double a = 0, b = 0, c = 0;
    for (int i = 0; i < frames; ++i) {
        a += 110.0 / rate;
        b += 110.7 / rate;
        c += 440.0 / rate;
        const float saws = static_cast<float>((a - std::floor(a)) + (b - std::floor(b)) - 1.0) * 0.3f;
        const float sine = static_cast<float>(std::sin(2 * M_PI * c)) * 0.2f;
        s.left[i] = saws + sine + noise(rng);
        s.right[i] = saws - sine + noise(rng);
    }
    return s;
}

void report(const char *what, double ns, int frames) {
    const double perFrame = ns / frames;
    const double realTime = (frames / 44100.0) / (ns * 1e-9);
    std::printf("  %-44s %8.2f ns per stereo frame, %8.0fx real time\n", what, perFrame, realTime);
}

namespace {

bool soxInstalled() { return std::system("command -v sox >/dev/null 2>&1") == 0; }

// User and system CPU time of all waited-for children so far, in ns.
double childrenNs() {
    rusage r;
    getrusage(RUSAGE_CHILDREN, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e9 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) * 1e3;
}

} // namespace

SoxRunner::SoxRunner(const Stereo &in, float rate) : rate(rate) {
    if (!soxInstalled()) return;
    char pattern[] = "/tmp/murmelo-bench-XXXXXX";
    if (!mkdtemp(pattern)) return;
    dir = pattern;
    input = dir + "/in.f32";
    FILE *f = std::fopen(input.c_str(), "wb");
    if (!f) return;
    for (int i = 0; i < in.frames; ++i) {
        const float frame[2] = {in.left[i], in.right[i]};
        std::fwrite(frame, sizeof frame, 1, f);
    }
    ok = std::fclose(f) == 0;
}

SoxRunner::~SoxRunner() {
    if (dir.empty()) return;
    std::remove(input.c_str());
    rmdir(dir.c_str());
}

double SoxRunner::run(const std::string &effect) {
    char format[64];
    std::snprintf(format, sizeof format, "-t f32 -r %.0f -c 2", rate);
    const std::string command = std::string("sox -q -D ") + format + " '" + input + "' -t f32 /dev/null " + effect;
    const double start = childrenNs();
    const int status = std::system(command.c_str());
    const double ns = childrenNs() - start;
    return status == 0 ? ns : -1;
}

double SoxRunner::net(const std::string &effect) {
    const double with = run(effect), without = run("");
    return with > 0 && without > 0 ? with - without : -1;
}

} // namespace bench
