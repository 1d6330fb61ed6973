#include "tool/Audio.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sndfile.h>
#include <strings.h>

namespace tool {

namespace {

class FileSource : public AudioSource {
public:
    FileSource(SNDFILE *file, const SF_INFO &info) : file(file), info(info) {}
    ~FileSource() override { sf_close(file); }
    int rate() const override { return info.samplerate; }
    std::int64_t frames() const override { return info.frames; }
    int read(StereoBlock &block, int n) override {
        buffer.resize(static_cast<std::size_t>(n) * info.channels);
        const int got = static_cast<int>(sf_readf_float(file, buffer.data(), n));
        block.resize(std::max(got, 0));
        for (int i = 0; i < got; ++i) {
            block.left[i] = buffer[static_cast<std::size_t>(i) * info.channels];
            block.right[i] = buffer[static_cast<std::size_t>(i) * info.channels + info.channels - 1];
        }
        return block.frames;
    }

private:
    SNDFILE *file;
    SF_INFO info;
    std::vector<float> buffer;
};

bool endsWith(const std::string &s, const char *suffix) {
    const std::size_t n = std::strlen(suffix);
    return s.size() >= n && strcasecmp(s.c_str() + s.size() - n, suffix) == 0;
}

// The file format for a name, or 0 for unknown extensions.
int formatFor(const std::string &path) {
    if (endsWith(path, ".wav")) return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (endsWith(path, ".aiff") || endsWith(path, ".aif")) return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    if (endsWith(path, ".flac")) return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    return 0;
}

} // namespace

std::unique_ptr<AudioSource> openAudioFile(const std::string &path, std::string &error) {
    SF_INFO info{};
    SNDFILE *file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) {
        error = "cannot read '" + path + "': " + sf_strerror(nullptr);
        return nullptr;
    }
    if (info.channels < 1 || info.channels > 2) {
        error = "'" + path + "' has " + std::to_string(info.channels) +
                " channels; murmelo render takes mono or stereo files";
        sf_close(file);
        return nullptr;
    }
    // Integer files come in as -1..1 floats; float files as they are.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return std::make_unique<FileSource>(file, info);
}

const char *writableFormats() { return ".wav, .flac, .aiff or .aif"; }

AudioWriter::~AudioWriter() {
    if (!file) return;
    sf_close(file);
    std::remove(partialPath.c_str());
}

bool AudioWriter::open(const std::string &path, int rate, std::string &error) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = formatFor(path);
    if (!info.format) {
        error = "cannot tell the format of '" + path + "': name it " + writableFormats();
        return false;
    }
    if (!sf_format_check(&info)) {
        error = "cannot write '" + path + "' at " + std::to_string(rate) + " Hz";
        return false;
    }
    integerFormat = (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT;
    finalPath = path;
    partialPath = path + ".partial";
    file = sf_open(partialPath.c_str(), SFM_WRITE, &info);
    if (!file) {
        // The partial file is ours; the user named the output.
        error = "cannot write '" + path + "': " + sf_strerror(nullptr);
        return false;
    }
    if (integerFormat) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    return true;
}

bool AudioWriter::write(const StereoBlock &block, int n, std::string &error) {
    interleaved.resize(2 * static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        interleaved[2 * i] = block.left[i];
        interleaved[2 * i + 1] = block.right[i];
        peakLevel = std::max({peakLevel, std::fabs(block.left[i]), std::fabs(block.right[i])});
    }
    if (sf_writef_float(file, interleaved.data(), n) != n) {
        error = "cannot write '" + finalPath + "': " + sf_strerror(file);
        return false;
    }
    return true;
}

bool AudioWriter::commit(std::string &error) {
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0 || std::rename(partialPath.c_str(), finalPath.c_str()) != 0) {
        error = "cannot write '" + finalPath + "'";
        std::remove(partialPath.c_str());
        return false;
    }
    return true;
}

} // namespace tool
