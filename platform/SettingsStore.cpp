#include "platform/SettingsStore.h"

#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"

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

} // namespace

std::string settingsFilePath(const std::string &maker, const std::string &fileName) {
    const std::string config = userConfigFolder();
    if (config.empty()) return std::string();
    return config + kPathSeparator + maker + kPathSeparator + fileName;
}

bool readStoredValue(const std::string &file, const std::string &name, std::string &value) {
    IniDocument document;
    if (file.empty() || loadDocument(file, document) != Load::ok) return false;
    const std::string *found = document.find("", name);
    if (!found) return false;
    value = *found;
    return true;
}

bool writeStoredValue(const std::string &file, const std::string &name, const std::string &value) {
    if (file.empty() || !IniDocument::canHold(name, value)) return false;
    const std::string folder = folderOf(file);
    if (!makeFolders(folder, kFolderMode)) return false;
    FolderLock lock(folder);
    if (!lock.locked()) return false;
    IniDocument document;
    const Load load = loadDocument(file, document);
    if (load == Load::unreadable) return false;
    if (load == Load::notText) document = IniDocument();
    document.set("", name, value);
    return replaceFileAtomically(file, document.format());
}

} // namespace platform
