// processReplacing of the real plug-in allocates nothing and takes no lock.
//
// This program replaces the C allocator (operator new ends up there too),
// the pthread lock functions and the condition-variable wake-ups for the
// whole process, murmelo.so included, and counts the calls a thread makes
// while its counting window is open.
#include "tests/core/SoundRig.h"
#include "tests/osc/OscTestSupport.h"

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <mutex>
#include <pthread.h>

extern "C" {
void *__libc_malloc(size_t);
void *__libc_calloc(size_t, size_t);
void *__libc_realloc(void *, size_t);
void *__libc_memalign(size_t, size_t);
void __libc_free(void *);
}

namespace {

thread_local bool counting = false;
std::atomic<int> allocations{0}, frees{0}, locks{0};
std::atomic<std::size_t> largestAllocation{0};
// Inside a counting window larger requests are refused, as a machine that
// cannot give that much would.
constexpr std::size_t kRefusedFrom = std::size_t(1) << 30;

// False when the request is to be refused.
bool noteAllocation(std::size_t bytes = 0) {
    if (!counting) return true;
    allocations.fetch_add(1, std::memory_order_relaxed);
    std::size_t seen = largestAllocation.load(std::memory_order_relaxed);
    while (bytes > seen && !largestAllocation.compare_exchange_weak(seen, bytes, std::memory_order_relaxed)) {
    }
    return bytes < kRefusedFrom;
}

void noteLock() {
    if (counting) locks.fetch_add(1, std::memory_order_relaxed);
}

// The C library's own function of that name, looked up on first use (always
// before a counting window opens: the process locks long before a test runs).
template <class Fn> Fn next(Fn &cache, const char *name) {
    if (!cache) cache = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
    return cache;
}

using MutexFn = int (*)(pthread_mutex_t *);
using RwFn = int (*)(pthread_rwlock_t *);
using CondFn = int (*)(pthread_cond_t *);
MutexFn realMutexLock, realMutexTryLock;
RwFn realReadLock, realWriteLock;
CondFn realCondSignal, realCondBroadcast;

} // namespace

extern "C" {
void *malloc(size_t n) { return noteAllocation(n) ? __libc_malloc(n) : nullptr; }
void *calloc(size_t n, size_t size) {
    return noteAllocation(size && n > SIZE_MAX / size ? SIZE_MAX : n * size) ? __libc_calloc(n, size) : nullptr;
}
void *realloc(void *p, size_t n) { return noteAllocation(n) ? __libc_realloc(p, n) : nullptr; }
void *memalign(size_t alignment, size_t n) { return noteAllocation(n) ? __libc_memalign(alignment, n) : nullptr; }
void *aligned_alloc(size_t alignment, size_t n) { return memalign(alignment, n); }
int posix_memalign(void **out, size_t alignment, size_t n) {
    void *p = memalign(alignment, n);
    if (!p) return 12; // ENOMEM
    *out = p;
    return 0;
}
void free(void *p) {
    if (counting && p) frees.fetch_add(1, std::memory_order_relaxed);
    __libc_free(p);
}
int pthread_mutex_lock(pthread_mutex_t *m) {
    noteLock();
    return next(realMutexLock, "pthread_mutex_lock")(m);
}
int pthread_mutex_trylock(pthread_mutex_t *m) {
    noteLock();
    return next(realMutexTryLock, "pthread_mutex_trylock")(m);
}
int pthread_rwlock_rdlock(pthread_rwlock_t *l) {
    noteLock();
    return next(realReadLock, "pthread_rwlock_rdlock")(l);
}
int pthread_rwlock_wrlock(pthread_rwlock_t *l) {
    noteLock();
    return next(realWriteLock, "pthread_rwlock_wrlock")(l);
}
// Waking through a condition variable means its mutex was taken first.
int pthread_cond_signal(pthread_cond_t *c) {
    noteLock();
    return next(realCondSignal, "pthread_cond_signal")(c);
}
int pthread_cond_broadcast(pthread_cond_t *c) {
    noteLock();
    return next(realCondBroadcast, "pthread_cond_broadcast")(c);
}
}

namespace {

using sound::Rig;
using sound::Stereo;

struct Counts {
    int allocations, frees, locks;
    std::size_t largest; // bytes of the largest single request
};

// Runs fn with this thread's counting window open.
template <class Fn> Counts counted(Fn fn) {
    allocations = frees = locks = 0;
    largestAllocation = 0;
    counting = true;
    fn();
    counting = false;
    return {allocations.load(), frees.load(), locks.load(), largestAllocation.load()};
}

Stereo tone(int n) {
    Stereo s(n);
    for (int i = 0; i < n; ++i)
        s.left[i] = s.right[i] = static_cast<float>((i % 100) - 50) / 50.f;
    return s;
}

TEST(AudioPath, TheCountersSeeAllocationsAndLocks) {
    std::mutex m;
    Counts c = counted([&] {
        void *p = ::operator new(64);
        ::operator delete(p);
        std::lock_guard<std::mutex> guard(m);
    });
    EXPECT_GE(c.allocations, 1);
    EXPECT_GE(c.frees, 1);
    EXPECT_GE(c.locks, 1);
    std::condition_variable changed;
    c = counted([&] { changed.notify_all(); });
    EXPECT_GE(c.locks, 1) << "condition wake-ups";
    // Inside the plug-in too: a new block size reallocates its scratch.
    Rig rig;
    ASSERT_TRUE(rig);
    c = counted(
        [&] { rig.plugin->effect()->dispatcher(rig.plugin->effect(), vst2::effSetBlockSize, 0, 4096, nullptr, 0.f); });
    EXPECT_GE(c.allocations, 2);
    EXPECT_GE(c.frees, 2);
}

// No block size a host may announce makes the plug-in ask for more than a
// few MB; blocks longer than its scratch are processed in pieces.
TEST(AudioPath, HugeBlockSizesAllocateOnlyAFewMegabytes) {
    Rig rig;
    ASSERT_TRUE(rig);
    vst2::AEffect *e = rig.plugin->effect();
    for (vst2::VstInt32 size : {INT_MAX, 1 << 24, 65537, -5}) {
        const Counts c = counted([&] { e->dispatcher(e, vst2::effSetBlockSize, 0, size, nullptr, 0.f); });
        EXPECT_LE(c.largest, std::size_t(4) << 20) << "block size " << size;
        const Counts both =
            counted([&] { e->dispatcher(e, vst2::effSetBlockSizeAndSampleRate, 0, size, nullptr, 48000.f); });
        EXPECT_LE(both.largest, std::size_t(4) << 20) << "block size " << size;
    }
    // Still sound: a long block goes through in pieces, like the model's.
    rig.setBlockSizeAndSampleRate(INT_MAX, 44100.f);
    const Stereo in = tone(100000);
    const Stereo out = rig.process(in);
    const Stereo expected = rig.model(in);
    EXPECT_EQ(std::memcmp(out.left.data(), expected.left.data(), sizeof(float) * 100000), 0);
    EXPECT_EQ(std::memcmp(out.right.data(), expected.right.data(), sizeof(float) * 100000), 0);
}

TEST(AudioPath, ProcessReplacingNeitherAllocatesNorLocks) {
    Rig rig;
    ASSERT_TRUE(rig);
    const Stereo block = tone(512), big = tone(5000);
    Stereo out(5000);
    float *in[2] = {const_cast<float *>(block.left.data()), const_cast<float *>(block.right.data())};
    float *inBig[2] = {const_cast<float *>(big.left.data()), const_cast<float *>(big.right.data())};
    float *o[2] = {out.left.data(), out.right.data()};
    vst2::AEffect *e = rig.plugin->effect();
    // From the very first block (a crossfade from the start-up set) on,
    // through every program (most of them crossfade every block), parameter
    // changes, suspend and resume, and blocks larger than the scratch.
    for (int program = 0; program < murmelo::kNumPrograms; ++program) {
        const Counts c = counted([&] {
            for (int b = 0; b < 4; ++b)
                e->processReplacing(e, in, o, 512);
            e->processReplacing(e, inBig, o, 5000);
            e->processReplacing(e, in, o, 1);
        });
        EXPECT_EQ(c.allocations, 0) << "program " << program;
        EXPECT_EQ(c.frees, 0) << "program " << program;
        EXPECT_EQ(c.locks, 0) << "program " << program;
        rig.useProgram((program + 1) % murmelo::kNumPrograms);
        rig.setNormalised(murmelo::kShape, program / 17.f);
        rig.plugin->suspend();
        rig.plugin->resume();
    }
}

// Host automation arrives on the audio thread and reaches the editor's
// controls through a mailbox: no allocation, no lock, editor open or not.
// (Parameter 15 moves the OSC server, which is not part of this promise.)
TEST(AudioPath, HostAutomationNeitherAllocatesNorLocks) {
    Rig rig;
    ASSERT_TRUE(rig);
    vst2::AEffect *e = rig.plugin->effect();
    auto automate = [&] {
        for (int round = 0; round < 3; ++round)
            for (int index = 0; index < murmelo::kOscPortOffset; ++index)
                e->setParameter(e, index, float(round) / 3);
    };
    Counts c = counted(automate);
    EXPECT_EQ(c.allocations + c.frees + c.locks, 0) << "editor closed";
    // Opened without a window (a careless host): the editor and its
    // controls exist all the same.
    testing::internal::CaptureStderr();
    e->dispatcher(e, vst2::effEditOpen, 0, 0, nullptr, 0.f);
    testing::internal::GetCapturedStderr();
    c = counted(automate);
    EXPECT_EQ(c.allocations, 0) << "editor open";
    EXPECT_EQ(c.frees, 0) << "editor open";
    EXPECT_EQ(c.locks, 0) << "editor open";
    e->dispatcher(e, vst2::effEditIdle, 0, 0, nullptr, 0.f); // delivers what was queued
    e->dispatcher(e, vst2::effEditClose, 0, 0, nullptr, 0.f);
}

// With a client subscribed, host automation queues the update and wakes the
// OSC notify thread without a lock; a new "OSC Port Offset" is applied on
// the OSC side too.  Both still happen.
TEST(AudioPath, SubscribedParametersAndThePortOffsetNeitherAllocateNorLock) {
    osc_test::ListeningPlugin server;
    ASSERT_TRUE(server.ok());
    osc_test::OscClient client;
    const std::string url = client.url();
    client.send(server.port(), "/registerUpdate", [&](osc::OutboundPacketStream &p) { p << 3 << url.c_str() << "/u"; });
    ASSERT_TRUE(osc_test::pingUntilAnswered(client, server.port()));
    vst2::AEffect *e = server.plugin().effect();
    const int offset = osc_test::pickFreeOffset();
    const Counts c = counted([&] {
        e->setParameter(e, 3, 0.25f);
        e->setParameter(e, 3, 0.75f);
        e->setParameter(e, murmelo::kOscPortOffset, osc_test::offsetToNormalised(offset));
    });
    EXPECT_EQ(c.allocations, 0);
    EXPECT_EQ(c.frees, 0);
    EXPECT_EQ(c.locks, 0);

    for (float normalised : {0.25f, 0.75f}) {
        const auto got = client.receive(2000);
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].path, "/u");
        ASSERT_EQ(got[0].types(), "if");
        EXPECT_EQ(got[0].args[0].i, 3);
        EXPECT_FLOAT_EQ(got[0].args[1].f, murmelo::toRealValue(3, normalised));
    }
    EXPECT_TRUE(osc_test::pingUntilAnswered(client, osc_test::basePort() + offset)) << "the port did not move";
}

} // namespace
