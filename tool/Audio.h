// Audio for the render command: stereo blocks in and out of sound files
// (libsndfile), the embedded demo signal, and the progress bar.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

namespace tool {

// Two channels of frames.
struct StereoBlock {
    std::vector<float> left, right;
    int frames = 0;
    void resize(int n) {
        left.resize(n);
        right.resize(n);
        frames = n;
    }
};

// A source of stereo frames: a sound file or the demo.
class AudioSource {
public:
    virtual ~AudioSource() = default;
    virtual int rate() const = 0;
    virtual std::int64_t frames() const = 0;
    // Fills up to n frames; returns how many (0 at the end).
    virtual int read(StereoBlock &block, int n) = 0;
};

// Opens a mono or stereo file (WAV, FLAC, AIFF, whatever libsndfile reads);
// mono is read as two identical channels.  Null with a reason otherwise.
std::unique_ptr<AudioSource> openAudioFile(const std::string &path, std::string &error);

// A few seconds of plucked chords, drums and hi-hats, synthesised at rate.
std::unique_ptr<AudioSource> demoSource(int rate);
// The demo itself, for tests of its character.
void synthesiseDemo(int rate, std::vector<float> &left, std::vector<float> &right);

// Writes a stereo file whose format follows the name's extension (.wav and
// .aiff: 32-bit float; .flac: 24-bit).  The file appears under its name only
// when commit() succeeds, so a failed render never replaces an existing file.
class AudioWriter {
public:
    ~AudioWriter();
    bool open(const std::string &path, int rate, std::string &error);
    bool write(const StereoBlock &block, int n, std::string &error);
    bool commit(std::string &error);
    // Largest absolute sample written so far.
    float peak() const { return peakLevel; }
    bool clips() const { return integerFormat && peakLevel > 1.f; }

private:
    std::string finalPath, partialPath;
    SNDFILE *file = nullptr;
    std::vector<float> interleaved;
    float peakLevel = 0.f;
    bool integerFormat = false;
};

// The extensions AudioWriter knows, for messages.
const char *writableFormats();

// A one-line progress bar on standard error, drawn only when standard error
// is a terminal and the render is longer than a second of audio.
class Progress {
public:
    Progress(double totalSeconds, int rate);
    void update(std::int64_t framesDone);
    void finish();

private:
    bool enabled;
    double total;
    int rate;
    int lastPercent = -1;
};

} // namespace tool
