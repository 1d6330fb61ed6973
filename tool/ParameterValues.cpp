// "NAME=VALUE" settings for murmelo render: a parameter by its name (any
// case) or index, a value in the parameter's own unit as the editor shows it
// ("5", "5 Hz", "21%", "Tri" for a shape, "Off" for a speed or the port
// offset), turned into the host's normalised value through the mapping.
#include "tool/Tool.h"

#include "core/Parameters.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <strings.h>

namespace tool {

namespace {

std::string trim(const std::string &s) {
    std::size_t a = 0, b = s.size();
    while (a < b && std::isspace(static_cast<unsigned char>(s[a])))
        ++a;
    while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1])))
        --b;
    return s.substr(a, b - a);
}

// A value named by its display text ("Sine" .. "Square", "Off").
bool namedValue(int index, const std::string &text, float &value) {
    const murmelo::ParameterInfo &p = murmelo::parameterInfo(index);
    const bool speed = index >= murmelo::kSpeedSuperfine && index <= murmelo::kSpeedCoarse;
    if (strcasecmp(text.c_str(), "off") == 0 && (speed || index == murmelo::kOscPortOffset)) {
        value = index == murmelo::kOscPortOffset ? 0.f : p.minimum; // the lowest speed is off
        return true;
    }
    for (int n = 0; n <= 4 && index == murmelo::kShape; ++n) {
        const char *name = nullptr;
        murmelo::parameterValueText(index, static_cast<float>(n), name);
        if (name && strcasecmp(text.c_str(), name) == 0) {
            value = static_cast<float>(n);
            return true;
        }
    }
    return false;
}

// A number, optionally followed by the parameter's unit label.
bool numericValue(int index, const std::string &text, float &value) {
    char *end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(v)) return false;
    const std::string rest = trim(end);
    const char *label = murmelo::unitLabel(murmelo::parameterInfo(index).unit);
    if (!rest.empty() && strcasecmp(rest.c_str(), label) != 0) return false;
    value = static_cast<float>(v);
    return true;
}

std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}

std::string rangeText(int index) {
    const murmelo::ParameterInfo &p = murmelo::parameterInfo(index);
    std::string unit = murmelo::unitLabel(p.unit);
    if (!unit.empty()) unit = " " + unit;
    return number(p.minimum) + " to " + number(p.maximum) + unit;
}

} // namespace

int findParameter(const std::string &name) {
    for (int i = 0; i < murmelo::kNumParameters; ++i)
        if (strcasecmp(name.c_str(), murmelo::parameterInfo(i).name) == 0) return i;
    char *end = nullptr;
    const long index = std::strtol(name.c_str(), &end, 10);
    if (!name.empty() && *end == 0 && murmelo::isParameterIndex(static_cast<int>(index)))
        return static_cast<int>(index);
    return -1;
}

bool parseSetting(const std::string &setting, int &index, float &normalised, std::string &error) {
    const std::size_t eq = setting.find('=');
    if (eq == std::string::npos) {
        error = "--set wants \"NAME=VALUE\", not \"" + setting + "\"";
        return false;
    }
    const std::string name = trim(setting.substr(0, eq)), text = trim(setting.substr(eq + 1));
    index = findParameter(name);
    if (index < 0) {
        error = "no parameter \"" + name + "\" (murmelo info lists them)";
        return false;
    }
    const murmelo::ParameterInfo &p = murmelo::parameterInfo(index);
    float value = 0.f;
    if (!namedValue(index, text, value) && !numericValue(index, text, value)) {
        error = "\"" + text + "\" is not a value of \"" + p.name + "\" (" + rangeText(index) + ")";
        return false;
    }
    // Main-LFO speeds below their range are off, which their minimum already is.
    const bool speed = index >= murmelo::kSpeedSuperfine && index <= murmelo::kSpeedCoarse;
    if (speed && value >= 0.f && value < p.minimum) value = p.minimum;
    if (!(value >= p.minimum && value <= p.maximum)) {
        error = "\"" + std::string(p.name) + "\" takes " + rangeText(index) + ", not " + text;
        return false;
    }
    normalised = murmelo::toNormalisedValue(index, value);
    return true;
}

} // namespace tool
