// murmelo snapshot: a picture of the editor, without a host.
//
//   murmelo snapshot OUT.png [--program NAME|INDEX] [--skin NAME|FOLDER] [--hover PARAM]
//
// Runs the effect in this process, opens its editor in a window of its own
// on a private X server (Xvfb, else $DISPLAY) and writes what the editor
// drew as a PNG, after a second of silence went through the effect so the
// info display shows what it shows in a host.  --skin uses a skin by name (from the user's Skins folder)
// or a skin folder anywhere, without touching the user's settings; --hover
// puts the pointer over the control of a parameter, so the banner shows it.
#include "core/QrvMurmelo.h"
#include "core/Settings.h"
#include "gui/Control.h"
#include "gui/Editor.h"
#include "gui/Manager.h"
#include "gui/ZephKnob.h"
#include "platform/IniText.h"
#include "tool/PrivateDisplay.h"
#include "tool/SnapshotImage.h"
#include "tool/Tool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <thread>
#include <vector>

namespace tool {

namespace {

namespace fs = std::filesystem;

constexpr int kFrameWaitMs = 15000;
constexpr int kSampleRate = 44100;
constexpr int kBlockFrames = 512;

struct SnapshotOptions {
    std::string output, program, skin, hover;
};

constexpr char kUsage[] = "usage: murmelo snapshot OUT.png [--program NAME|INDEX] [--skin NAME|FOLDER] "
                          "[--hover PARAM]\n";

int usageError(const std::string &message) { return tool::usageError("snapshot", message, kUsage); }

int failure(const std::string &message) { return tool::failure("snapshot", message); }

vst2::VstIntPtr VST2_CALLBACK hostCallback(vst2::AEffect *, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr,
                                           void *, float) {
    return opcode == vst2::audioMasterVersion ? vst2::kVstVersion : 0;
}

// A folder removed with its contents when the object goes.
struct TempFolder {
    fs::path path;
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "murmelo-snapshot-XXXXXX").string();
        if (mkdtemp(pattern.data())) path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
};

std::string readText(const fs::path &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The effect reads the skin from the settings when it starts: it gets a
// copy of the user's settings with "Skin" set, in a folder of its own.  A
// skin folder given by path is linked into a Skins folder of its own too.
bool useSkin(const std::string &skin, TempFolder &temp, std::string &error) {
    std::string name = skin;
    platform::IniDocument settings;
    platform::IniDocument::parse(readText(murmelo::settingsLocation()), settings);
    if (skin.find('/') != std::string::npos) {
        const fs::path folder = fs::absolute(skin);
        if (!fs::is_directory(folder)) {
            error = "no skin folder " + skin;
            return false;
        }
        name = folder.filename().string();
        const fs::path skins = temp.path / "data/Quorvane/Murmelo/Skins";
        fs::create_directories(skins);
        fs::create_directory_symlink(folder, skins / name);
        setenv("APPDATA", (temp.path / "data").c_str(), 1);
    }
    settings.set("", murmelo::kSettingSkin, name);
    setenv("XDG_CONFIG_HOME", (temp.path / "config").c_str(), 1);
    const fs::path file = murmelo::settingsLocation();
    fs::create_directories(file.parent_path());
    std::ofstream(file) << settings.format();
    return true;
}

int findProgram(murmelo::QrvMurmelo &fx, const std::string &wanted) {
    for (int i = 0; i < murmelo::kNumPrograms; ++i) {
        char name[64] = {};
        fx.getProgramNameIndexed(0, i, name);
        if (strcasecmp(name, wanted.c_str()) == 0) return i;
    }
    char *end = nullptr;
    const long index = std::strtol(wanted.c_str(), &end, 10);
    return !wanted.empty() && !*end && index >= 0 && index < murmelo::kNumPrograms ? int(index) : -1;
}

// The centre of the control bound to a parameter, a knob by preference.
bool controlCentre(QV::Manager &m, int index, QV::Point &centre) {
    const QV::Control *found = nullptr;
    for (const auto &element : m.elements()) {
        const auto *control = dynamic_cast<const QV::Control *>(element.get());
        if (!control || control->parameter().index != index) continue;
        if (!found || dynamic_cast<const QV::ZephKnob *>(control)) found = control;
    }
    if (!found) return false;
    const QV::Box b = found->windowBounds();
    centre = {b.centreX(), b.centreY()};
    return true;
}

bool waitForFrames(vst2::AEffect *e, QV::Manager &m, unsigned frames) {
    const unsigned target = m.framesDrawn() + frames;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFrameWaitMs);
    while (m.framesDrawn() < target) {
        if (std::chrono::steady_clock::now() > end) return false;
        e->dispatcher(e, vst2::effEditIdle, 0, 0, nullptr, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// A second of silence through the effect, as a host plays it before a user
// looks: the info display then shows the program's LFO speed and sweep
// width instead of the zeros of an effect that never ran.
void playSilence(vst2::AEffect *e) {
    e->dispatcher(e, vst2::effSetSampleRate, 0, 0, nullptr, float(kSampleRate));
    e->dispatcher(e, vst2::effSetBlockSize, 0, kBlockFrames, nullptr, 0);
    e->dispatcher(e, vst2::effMainsChanged, 0, 1, nullptr, 0);
    std::vector<float> in(kBlockFrames * 2, 0.f), out(kBlockFrames * 2, 0.f);
    float *inputs[2] = {in.data(), in.data() + kBlockFrames};
    float *outputs[2] = {out.data(), out.data() + kBlockFrames};
    for (int done = 0; done < kSampleRate; done += kBlockFrames)
        e->processReplacing(e, inputs, outputs, std::min(kBlockFrames, kSampleRate - done));
}

int parse(Args &args, SnapshotOptions &o) {
    std::string error;
    takeOption(args, "--program", o.program, error);
    takeOption(args, "--skin", o.skin, error);
    takeOption(args, "--hover", o.hover, error);
    if (!error.empty()) return usageError(error);
    for (const std::string &a : args)
        if (a.size() > 1 && a[0] == '-') return usageError("unknown option " + a);
    if (args.size() != 1) return usageError(args.empty() ? "no output file" : "one output file only");
    o.output = args[0];
    return 0;
}

// Opens the editor on the display, waits until it has drawn, takes the picture.
int photograph(murmelo::QrvMurmelo &fx, const SnapshotOptions &o, int hoverIndex) {
    vst2::AEffect *e = fx.getAeffect();
    vst2::ERect *rect = nullptr;
    e->dispatcher(e, vst2::effEditGetRect, 0, 0, &rect, 0);
    if (!rect || rect->right <= 0 || rect->bottom <= 0) return failure("the layout gives the editor no size");
    HostWindow window;
    std::string error;
    if (!window.create(rect->right, rect->bottom, error)) return failure(error);
    e->dispatcher(e, vst2::effEditOpen, 0, 0, reinterpret_cast<void *>(window.id()), 0);
    QV::Editor *view = fx.getEditorView();
    QV::Manager *m = view ? view->getManager() : nullptr;
    if (!m || !m->renderRunning()) return failure("the editor could not open on display " + window.displayName());
    QV::Point centre{0, 0};
    if (hoverIndex >= 0 && !controlCentre(*m, hoverIndex, centre))
        return failure("the layout has no control for \"" + o.hover + "\"");
    if (hoverIndex >= 0) m->hover(centre);
    // Fades and the light that follows the pointer settle within 60 frames.
    if (!waitForFrames(e, *m, hoverIndex >= 0 ? 60 : 8)) return failure("the editor did not draw (no OpenGL?)");
    const Picture picture = window.grabChild(rect->right, rect->bottom, error);
    e->dispatcher(e, vst2::effEditClose, 0, 0, nullptr, 0);
    if (picture.rgb.empty()) return failure(error);
    if (!writePng(picture, o.output, error)) return failure(error);
    std::printf("wrote %s: %d x %d\n", o.output.c_str(), picture.width, picture.height);
    return 0;
}

} // namespace

int runSnapshot(Args args) {
    SnapshotOptions o;
    if (const int status = parse(args, o)) return status;
    const int hoverIndex = o.hover.empty() ? -1 : findParameter(o.hover);
    if (!o.hover.empty() && hoverIndex < 0) return usageError("no parameter \"" + o.hover + "\"");
    TempFolder temp;
    std::string error;
    if (!o.skin.empty() && !useSkin(o.skin, temp, error)) return failure(error);
    PrivateDisplay display;
    if (!display.acquire(error)) return failure(error);
    murmelo::QrvMurmelo *fx = new murmelo::QrvMurmelo(hostCallback);
    vst2::AEffect *e = fx->getAeffect();
    int status = 0;
    if (!o.program.empty()) {
        const int program = findProgram(*fx, o.program);
        if (program < 0)
            status = usageError("no program \"" + o.program + "\"");
        else
            e->dispatcher(e, vst2::effSetProgram, 0, program, nullptr, 0);
    }
    if (status == 0) {
        playSilence(e);
        status = photograph(*fx, o, hoverIndex);
    }
    e->dispatcher(e, vst2::effClose, 0, 0, nullptr, 0); // deletes the effect
    return status;
}

} // namespace tool
