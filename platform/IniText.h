// The settings file's text: INI sections of "name = value" lines, read with
// inih and written back in the same shape.  [any]
//
// Reading follows inih's rules (";" or "#" starts a comment line, " ;" an
// inline comment, names and values are trimmed, "=" or ":" separates them)
// with three additions:
// - a line that continues the previous value (it starts with white space) is
//   joined to that value as it stands, with nothing in between, and loses
//   its inline comment as other lines do;
// - a line longer than inih's line buffer (199 bytes in Debian's build) is
//   read whole rather than in broken pieces;
// - a repeated name replaces the earlier value (names and sections compare
//   without regard to ASCII case, like registry names).
// Lines the parser rejects are left out, so writing a document back drops
// them; comments are not kept either.
#pragma once

#include <string>
#include <vector>

namespace platform {

struct IniEntry {
    std::string name;
    std::string value;
};

struct IniSection {
    std::string name; // "" for the values before the first section header
    std::vector<IniEntry> entries;
};

class IniDocument {
public:
    // Parses text into document.  False (and an empty document) when the
    // text is not INI text at all: it holds a zero byte or control characters
    // other than tab, carriage return and line feed.
    static bool parse(const std::string &text, IniDocument &document);

    // The text of the document: the unnamed section's lines first, then each
    // section under its header, in their first order.
    std::string format() const;

    // True when a line "name = value" reads back as exactly that name and
    // value (no line breaks, no white space at either end, no comments).
    static bool canHold(const std::string &name, const std::string &value);

    // The value of name in section, or null.
    const std::string *find(const std::string &section, const std::string &name) const;
    // Sets name in section, keeping its place when it exists, else appending.
    void set(const std::string &section, const std::string &name, const std::string &value);

    const std::vector<IniSection> &sections() const { return list; }
    // The number (from 1) of the first line the parser rejected (no "=",
    // unclosed section header, ...); 0 when every line was accepted.
    int firstRejectedLine() const { return firstRejected; }

private:
    friend struct IniParse;
    IniSection &sectionNamed(const std::string &name);
    std::vector<const IniSection *> orderedSections() const;

    std::vector<IniSection> list;
    int firstRejected = 0;
};

} // namespace platform
