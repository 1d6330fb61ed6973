// Timing helpers of the benchmark: test audio, block loops, SoX runs.
#pragma once

#include <string>
#include <time.h>
#include <vector>

namespace bench {

struct Stereo {
    explicit Stereo(int n) : frames(n), left(n), right(n) {}
    int frames;
    std::vector<float> left, right;
};

// Deterministic music-like test audio: two detuned saws, a sine and noise.
Stereo testSignal(int frames, float rate);

// CPU time of the calling thread in ns: the machine may be shared, and time
// spent waiting for a processor is not time the code took.
inline double threadNs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

// Runs process(inputs, outputs, n) over the whole signal in blocks; returns ns.
template <class Process> double timeBlocks(const Stereo &in, Stereo &out, int block, Process process) {
    const double start = threadNs();
    for (int done = 0; done < in.frames; done += block) {
        const int n = in.frames - done < block ? in.frames - done : block;
        float *i[2] = {const_cast<float *>(in.left.data()) + done, const_cast<float *>(in.right.data()) + done};
        float *o[2] = {out.left.data() + done, out.right.data() + done};
        process(i, o, n);
    }
    return threadNs() - start;
}

// The smallest of several runs (the least disturbed by the rest of the machine).
template <class Run> double best(int repeats, Run run) {
    double b = run();
    for (int i = 1; i < repeats; ++i) {
        const double t = run();
        if (t < b) b = t;
    }
    return b;
}

// One line: ns per stereo frame and the real-time factor at 44.1 kHz.
void report(const char *what, double ns, int frames);

// Runs sox on the signal written to a temporary raw float file.
class SoxRunner {
public:
    SoxRunner(const Stereo &in, float rate);
    ~SoxRunner();
    bool available() const { return ok; }
    // ns for sox with this effect, less the ns for sox copying the file.
    double net(const std::string &effect);

private:
    double run(const std::string &effect);
    std::string dir, input;
    float rate;
    bool ok = false;
};

} // namespace bench
