#include "tool/Audio.h"
#include "tool/System.h"

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

// Whether the libsndfile linked in handles a major format: one built
// without the codec libraries (the Windows build) has no FLAC.
bool libraryHas(int major) {
    int count = 0;
    sf_command(nullptr, SFC_GET_FORMAT_MAJOR_COUNT, &count, sizeof(count));
    for (int i = 0; i < count; ++i) {
        SF_FORMAT_INFO info{};
        info.format = i;
        if (sf_command(nullptr, SFC_GET_FORMAT_MAJOR, &info, sizeof(info)) == 0 && info.format == major) return true;
    }
    return false;
}

} // namespace

std::unique_ptr<AudioSource> openAudioFile(const std::string &path, std::string &error) {
    SF_INFO info{};
    SNDFILE *file = openSoundFile(path, SFM_READ, &info);
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

const char *writableFormats() {
    static const std::string names = libraryHas(SF_FORMAT_FLAC) ? ".wav, .flac, .aiff or .aif" : ".wav, .aiff or .aif";
    return names.c_str();
}

AudioWriter::~AudioWriter() {
    if (!file) return;
    sf_close(file);
    removeFile(partialPath);
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
    if (!libraryHas(info.format & SF_FORMAT_TYPEMASK)) {
        error = "cannot write '" + path + "': this build writes no such files; name it " + writableFormats();
        return false;
    }
    if (!sf_format_check(&info)) {
        error = "cannot write '" + path + "' at " + std::to_string(rate) + " Hz";
        return false;
    }
    integerFormat = (info.format & SF_FORMAT_SUBMASK) != SF_FORMAT_FLOAT;
    finalPath = path;
    partialPath = path + ".partial";
    file = openSoundFile(partialPath, SFM_WRITE, &info);
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
    if (closed != 0 || !replaceFile(partialPath, finalPath)) {
        error = "cannot write '" + finalPath + "'";
        removeFile(partialPath);
        return false;
    }
    return true;
}

} // namespace tool
