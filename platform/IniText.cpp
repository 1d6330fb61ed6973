#include "platform/IniText.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ini.h>
#include <unordered_map>

namespace platform {

namespace {

bool sameName(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The key under which sameName finds a name: its ASCII lower case.
std::string folded(const char *name) {
    std::string key = name;
    for (char &c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool isIniText(const std::string &text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t' && c != '\r' && c != '\n') return false;
    }
    return true;
}

// How much of [begin, end) goes into a line buffer with room for max bytes.
// A cut point is chosen so that inih's trimming and comment rules see the
// same text in the pieces as in the whole line: no white space on either
// side of the cut, and the next piece does not start like a comment.
std::size_t pieceLength(const char *begin, const char *end, std::size_t max) {
    const auto length = static_cast<std::size_t>(end - begin);
    if (length <= max) return length;
    for (std::size_t p = max; p > max / 2; --p)
        if (!isSpace(begin[p - 1]) && !isSpace(begin[p]) && begin[p] != ';' && begin[p] != '#') return p;
    return max;
}

// inih's inline comment: ";" after white space.
bool hasInlineComment(const char *text, std::size_t length) {
    for (std::size_t i = 1; i < length; ++i)
        if (text[i] == ';' && isSpace(text[i - 1])) return true;
    return false;
}

// A continuation line's text up to its inline comment (inih 55 leaves the
// comment on continuation lines; later versions strip it, as pairs do).
std::string withoutInlineComment(const char *text) {
    std::string piece = text;
    for (std::size_t i = 1; i < piece.size(); ++i)
        if (piece[i] == ';' && isSpace(piece[i - 1])) {
            piece.erase(i);
            break;
        }
    while (!piece.empty() && isSpace(piece.back()))
        piece.pop_back();
    return piece;
}

// Text that inih hands back unchanged when it stands after "=" on a line.
bool isPlainValue(const std::string &text) {
    if (text.empty()) return true;
    for (const char c : text)
        if (c != '\t' && static_cast<unsigned char>(c) < 0x20) return false;
    return !isSpace(text.front()) && !isSpace(text.back()) && !hasInlineComment(text.data(), text.size());
}

} // namespace

// One run of inih over a text.  inih reads through nextLine, which hands it
// one physical line at a time, or a line too long for inih's buffer as a
// first piece followed by indented pieces that inih reports as continuations.
struct IniParse {
    IniParse(const std::string &text, IniDocument &document)
        : pos(text.data()), end(text.data() + text.size()), document(document) {}

    static char *reader(char *buffer, int size, void *self) {
        return static_cast<IniParse *>(self)->nextLine(buffer, static_cast<std::size_t>(size));
    }
    static int handler(void *self, const char *section, const char *name, const char *value) {
        static_cast<IniParse *>(self)->onValue(section, name, value);
        return 1;
    }

    char *nextLine(char *buffer, std::size_t size);
    char *nextPiece(char *buffer, std::size_t room);
    void onValue(const char *section, const char *name, const char *value);
    std::size_t sectionIndex(const char *section);

    const char *pos, *end;
    const char *tail = nullptr, *tailEnd = nullptr; // the rest of a long line
    char *lineBuffer = nullptr;
    std::size_t lineBufferSize = 0;
    int physicalLine = 0;
    std::vector<int> physicalLineOfRead; // inih counts reads as lines
    IniDocument &document;
    // The value the last accepted "name = value" line set, which inih's
    // continuation lines extend.
    std::size_t openSection = 0, openEntry = 0;
    int openLine = 0; // its physical line; 0 when none
    // Where each section and each "section\nname" already stands in the
    // document, by folded name: a file of many names is read in linear time.
    std::unordered_map<std::string, std::size_t> sections;
    std::unordered_map<std::string, std::size_t> entries;
};

char *IniParse::nextLine(char *buffer, std::size_t size) {
    if (size < 8) return nullptr;
    lineBuffer = buffer;
    lineBufferSize = size;
    const std::size_t room = size - 1;
    // Pieces only make sense when inih accepted the first one.
    if (tail && openLine == physicalLine) return nextPiece(buffer, room);
    tail = nullptr;
    if (pos >= end) return nullptr;
    const char *lineEnd = static_cast<const char *>(std::memchr(pos, '\n', static_cast<std::size_t>(end - pos)));
    if (!lineEnd) lineEnd = end;
    const std::size_t n = pieceLength(pos, lineEnd, room);
    std::memcpy(buffer, pos, n);
    buffer[n] = 0;
    if (n < static_cast<std::size_t>(lineEnd - pos) && !hasInlineComment(buffer, n)) {
        tail = pos + n;
        tailEnd = lineEnd;
    }
    pos = lineEnd < end ? lineEnd + 1 : end;
    physicalLineOfRead.push_back(++physicalLine);
    return buffer;
}

char *IniParse::nextPiece(char *buffer, std::size_t room) {
    buffer[0] = '\t';
    const std::size_t n = pieceLength(tail, tailEnd, room - 1);
    std::memcpy(buffer + 1, tail, n);
    buffer[n + 1] = 0;
    tail += n;
    if (tail >= tailEnd || hasInlineComment(buffer + 1, n)) tail = nullptr;
    physicalLineOfRead.push_back(physicalLine);
    return buffer;
}

void IniParse::onValue(const char *section, const char *name, const char *value) {
    // inih passes a continuation under its own copy of the previous name and
    // a new pair with the name inside the line it was handed: that tells
    // them apart exactly, without repeating inih's line rules here.
    const bool continuation = !(name >= lineBuffer && name < lineBuffer + lineBufferSize);
    if (continuation) {
        if (openLine != 0) document.list[openSection].entries[openEntry].value += withoutInlineComment(value);
        return;
    }
    openSection = sectionIndex(section);
    auto &list = document.list[openSection].entries;
    const auto found = entries.emplace(folded(section) + '\n' + folded(name), list.size());
    openEntry = found.first->second;
    if (found.second)
        list.push_back({name, value});
    else
        list[openEntry].value = value;
    openLine = physicalLine;
}

std::size_t IniParse::sectionIndex(const char *section) {
    const auto found = sections.emplace(folded(section), document.list.size());
    if (found.second) document.list.push_back({section, {}});
    return found.first->second;
}

bool IniDocument::parse(const std::string &text, IniDocument &document) {
    document = IniDocument();
    if (!isIniText(text)) return false;
    IniParse run(text, document);
    const int firstError = ini_parse_stream(&IniParse::reader, &run, &IniParse::handler, &run);
    if (firstError > 0 && static_cast<std::size_t>(firstError) <= run.physicalLineOfRead.size())
        document.firstRejected = run.physicalLineOfRead[static_cast<std::size_t>(firstError) - 1];
    return true;
}

bool IniDocument::canHold(const std::string &name, const std::string &value) {
    if (name.empty() || !isPlainValue(name) || !isPlainValue(value)) return false;
    if (name.find_first_of("=:") != std::string::npos) return false;
    return name.front() != '[' && name.front() != ';' && name.front() != '#';
}

std::string IniDocument::format() const {
    std::string text;
    for (const IniSection *section : orderedSections()) {
        if (section->entries.empty() && section->name.empty()) continue;
        if (!section->name.empty()) text += (text.empty() ? "[" : "\n[") + section->name + "]\n";
        for (const IniEntry &entry : section->entries) {
            // "a = ;b" would make ";b" a comment; "a =;b" keeps it a value.
            const bool startsLikeComment = !entry.value.empty() && entry.value.front() == ';';
            text += entry.name + (startsLikeComment ? " =" : " = ") + entry.value + "\n";
        }
    }
    return text;
}

std::vector<const IniSection *> IniDocument::orderedSections() const {
    std::vector<const IniSection *> ordered;
    for (const IniSection &s : list)
        if (s.name.empty()) ordered.push_back(&s);
    for (const IniSection &s : list)
        if (!s.name.empty()) ordered.push_back(&s);
    return ordered;
}

const std::string *IniDocument::find(const std::string &section, const std::string &name) const {
    for (const IniSection &s : list) {
        if (!sameName(s.name, section)) continue;
        for (const IniEntry &e : s.entries)
            if (sameName(e.name, name)) return &e.value;
    }
    return nullptr;
}

void IniDocument::set(const std::string &section, const std::string &name, const std::string &value) {
    IniSection &s = sectionNamed(section);
    for (IniEntry &e : s.entries)
        if (sameName(e.name, name)) {
            e.value = value;
            return;
        }
    s.entries.push_back({name, value});
}

IniSection &IniDocument::sectionNamed(const std::string &name) {
    for (IniSection &s : list)
        if (sameName(s.name, name)) return s;
    list.push_back({name, {}});
    return list.back();
}

} // namespace platform
