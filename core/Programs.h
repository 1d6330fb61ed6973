// Programs (presets): the abstract program, the one concrete kind, and the
// factory table the 18 programs are filled from at construction.
#pragma once

#include "core/Parameters.h"

#include <atomic>

namespace murmelo {

class CFString;

constexpr int kNumPrograms = 18;
// Program names keep at most this many characters.
constexpr int kProgramNameChars = 31;

class QrvProgram {
public:
    virtual ~QrvProgram() = default;
    // [any] real values; callers pass indices 0..15.
    virtual void setValue(int index, float value) = 0;
    virtual float getValue(int index) const = 0;
    // [ui]
    virtual void setName(const char *text) = 0;
    virtual const char *getName() const = 0;
    // Extension slots with empty defaults; nothing here overrides or calls them.
    virtual int reserved1() { return 0; }
    virtual int reserved2() { return 0; }
    virtual void reserved3(void *) {}
};

// 16 real values and a 32-byte name.  Values are read and written on many
// threads without locks: each is one relaxed atomic float, so a reader sees
// either the old or the new value.
class QrvProgramBasic : public QrvProgram {
public:
    QrvProgramBasic();
    void setValue(int index, float value) override { values[index].store(value, std::memory_order_relaxed); }
    float getValue(int index) const override { return values[index].load(std::memory_order_relaxed); }
    // Copies at most 32 bytes and forces the last to 0 (31 characters kept).
    void setName(const char *text) override;
    const char *getName() const override { return name; }

private:
    std::atomic<float> values[kNumParameters];
    char name[kProgramNameChars + 1];
};

struct FactoryProgram {
    CFString *name;
    int valuesGiven; // 0 or 16; the rest is filled with the defaults
    float values[kNumParameters];
};

// The 18 factory records, completed with defaults from their given count on.
const FactoryProgram *factoryPrograms();

} // namespace murmelo
