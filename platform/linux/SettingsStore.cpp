#include "platform/SettingsStore.h"

#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"
#include "platform/linux/FileStore.h"
#include "platform/linux/HomeFolders.h"

#include <charconv>

namespace platform {

namespace {

constexpr unsigned kFolderMode = 0700; // private, as configuration folders are

enum class Load { ok, missing, unreadable, notText };

Load loadDocument(const std::string &file, IniDocument &document) {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;
    switch (readWholeFile(file, bytes, size)) {
    case ReadResult::missing:
        return Load::missing;
    case ReadResult::failed:
        return Load::unreadable;
    case ReadResult::ok:
        break;
    }
    const std::string text(reinterpret_cast<const char *>(bytes.get()), size);
    return IniDocument::parse(text, document) ? Load::ok : Load::notText;
}

std::string folderOf(const std::string &file) {
    const std::size_t slash = file.rfind(kPathSeparator);
    return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

StoredRead readValue(const std::string &file, const std::string &name, std::string &value) {
    IniDocument document;
    if (file.empty()) return StoredRead::missing;
    switch (loadDocument(file, document)) {
    case Load::ok:
        break;
    case Load::missing:
        return StoredRead::missing;
    case Load::unreadable:
    case Load::notText:
        return StoredRead::unreadable;
    }
    const std::string *found = document.find("", name);
    if (!found) return StoredRead::missing;
    value = *found;
    return StoredRead::ok;
}

bool parseInt(const std::string &text, int &value) {
    const char *begin = text.data();
    const char *end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto result = std::from_chars(begin, end, value);
    return result.ec == std::errc() && result.ptr == end && begin != end;
}

} // namespace

std::string settingsLocation(const std::string &maker, const std::string &product) {
    const std::string config = userConfigFolder();
    if (config.empty()) return std::string();
    return config + kPathSeparator + maker + kPathSeparator + product + ".ini";
}

StoredRead readStoredInteger(const std::string &maker, const std::string &product, const std::string &name,
                             int &value) {
    std::string text;
    const StoredRead read = readValue(settingsLocation(maker, product), name, text);
    if (read != StoredRead::ok) return read;
    return parseInt(text, value) ? StoredRead::ok : StoredRead::unreadable;
}

StoredRead readStoredText(const std::string &maker, const std::string &product, const std::string &name,
                          std::string &text) {
    return readValue(settingsLocation(maker, product), name, text);
}

bool writeStoredInteger(const std::string &maker, const std::string &product, const std::string &name, int value) {
    const std::string file = settingsLocation(maker, product);
    const std::string text = std::to_string(value);
    if (file.empty() || !IniDocument::canHold(name, text)) return false;
    const std::string folder = folderOf(file);
    if (!makeFolders(folder, kFolderMode)) return false;
    FolderLock lock(folder);
    if (!lock.locked()) return false;
    IniDocument document;
    const Load load = loadDocument(file, document);
    if (load == Load::unreadable) return false;
    if (load == Load::notText) document = IniDocument();
    document.set("", name, text);
    return replaceFileAtomically(file, document.format());
}

} // namespace platform
