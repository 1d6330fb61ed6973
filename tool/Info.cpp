// murmelo info: identity, parameters and programs of a plug-in.
#include "host/VstHost.h"
#include "tool/Tool.h"

#include <cstdio>
#include <nlohmann/json.hpp>

namespace tool {

namespace {

std::string fourCC(std::int32_t id) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>((id >> shift) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s;
}

nlohmann::json describe(vsthost::Plugin &p) {
    vst2::AEffect *e = p.effect();
    nlohmann::json out;
    out["effectName"] = p.effectName();
    out["productString"] = p.productString();
    out["vendorString"] = p.vendorString();
    out["vendorVersion"] = p.dispatch(vst2::effGetVendorVersion);
    out["vstVersion"] = p.dispatch(vst2::effGetVstVersion);
    out["uniqueID"] = fourCC(e->uniqueID);
    out["category"] = p.dispatch(vst2::effGetPlugCategory);
    out["inputs"] = e->numInputs;
    out["outputs"] = e->numOutputs;
    out["flags"] = e->flags;
    out["version"] = e->version;
    out["initialDelay"] = e->initialDelay;
    out["currentProgram"] = p.program();
    auto &params = out["parameters"] = nlohmann::json::array();
    for (int i = 0; i < e->numParams; ++i)
        params.push_back({{"index", i},
                          {"name", p.parameterName(i)},
                          {"label", p.parameterLabel(i)},
                          {"display", p.parameterDisplay(i)},
                          {"normalised", p.getParameter(i)}});
    auto &programs = out["programs"] = nlohmann::json::array();
    for (int i = 0; i < e->numPrograms; ++i)
        programs.push_back(p.programNameIndexed(i));
    return out;
}

void printText(const nlohmann::json &d) {
    std::printf("%s by %s (%s), vendor version 0x%08llx, VST %lld\n", d["effectName"].get<std::string>().c_str(),
                d["vendorString"].get<std::string>().c_str(), d["productString"].get<std::string>().c_str(),
                d["vendorVersion"].get<unsigned long long>(), d["vstVersion"].get<long long>());
    std::printf("unique ID '%s', category %lld, %d in / %d out, flags 0x%x\n", d["uniqueID"].get<std::string>().c_str(),
                d["category"].get<long long>(), d["inputs"].get<int>(), d["outputs"].get<int>(), d["flags"].get<int>());
    std::printf("\nparameters:\n");
    for (const auto &p : d["parameters"])
        std::printf("  %2d  %-16s %10s %-6s  %.4f\n", p["index"].get<int>(), p["name"].get<std::string>().c_str(),
                    p["display"].get<std::string>().c_str(), p["label"].get<std::string>().c_str(),
                    p["normalised"].get<double>());
    std::printf("\nprograms:\n");
    int i = 0;
    for (const auto &name : d["programs"])
        std::printf("  %2d  %s\n", i++, name.get<std::string>().c_str());
}

} // namespace

int runInfo(Args args) {
    const bool json = takeFlag(args, "--json");
    const std::string path = takePluginPath(args);
    if (!args.empty()) {
        std::fprintf(stderr, "murmelo info: unexpected argument '%s'\n", args.front().c_str());
        return 2;
    }
    std::string error;
    auto plugin = vsthost::Plugin::load(path, error);
    if (!plugin) {
        std::fprintf(stderr, "murmelo info: %s\n", error.c_str());
        return 1;
    }
    const nlohmann::json d = describe(*plugin);
    if (json)
        std::printf("%s\n", d.dump(2).c_str());
    else
        printText(d);
    return 0;
}

} // namespace tool
