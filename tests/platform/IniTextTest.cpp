// The settings file's text format: what inih accepts, the lines it would
// break (long ones, continuations), and writing a document back.
#include "platform/IniText.h"

#include <gtest/gtest.h>

using platform::IniDocument;

namespace {

IniDocument parse(const std::string &text) {
    IniDocument document;
    EXPECT_TRUE(IniDocument::parse(text, document));
    return document;
}

std::string valueOf(const IniDocument &document, const std::string &name, const std::string &section = "") {
    const std::string *value = document.find(section, name);
    return value ? *value : "<absent>";
}

} // namespace

TEST(IniText, ReadsInihsLineRules) {
    const IniDocument d = parse("\xEF\xBB\xBF" // a byte-order mark
                                "; comment\n# comment\n\n"
                                "  Alpha = one two  \r\n"
                                "Beta: colon ; a comment\n"
                                "Gamma = a;b\n"
                                "alpha = replaced\n"
                                "no separator here\n"
                                "[Section B]\n"
                                "Alpha = in b\n"
                                "[unclosed\n");
    EXPECT_EQ(valueOf(d, "ALPHA"), "replaced");
    EXPECT_EQ(valueOf(d, "Beta"), "colon");
    EXPECT_EQ(valueOf(d, "Gamma"), "a;b");
    EXPECT_EQ(valueOf(d, "alpha", "section b"), "in b");
    EXPECT_EQ(valueOf(d, "no separator here"), "<absent>");
    EXPECT_EQ(d.firstRejectedLine(), 8);
    ASSERT_EQ(d.sections().size(), 2u);
    EXPECT_EQ(d.sections()[0].entries.size(), 3u); // the repeated name kept its place
}

TEST(IniText, ContinuationLinesJoinAsTheyStand) {
    const IniDocument d = parse("Skin = first\n  Half\n\tSecond ; note\n; between\n   Third\nNext = 1\n");
    EXPECT_EQ(valueOf(d, "Skin"), "firstHalfSecondThird");
    EXPECT_EQ(valueOf(d, "Next"), "1");
    EXPECT_EQ(d.firstRejectedLine(), 0);
    // An indented first pair is a pair, not a continuation.
    EXPECT_EQ(valueOf(parse("  Lead = 5\n"), "Lead"), "5");
}

TEST(IniText, LongLinesAreReadWhole) {
    std::string value;
    for (int i = 0; value.size() < 700; ++i)
        value += "word" + std::to_string(i) + (i % 7 ? " " : "   x;;#y   ");
    value += "end";
    const IniDocument d = parse("Before = 1\nLong = " + value + "\nAfter = 2\n");
    EXPECT_EQ(valueOf(d, "Long"), value);
    EXPECT_EQ(valueOf(d, "Before"), "1");
    EXPECT_EQ(valueOf(d, "After"), "2");
    EXPECT_EQ(d.firstRejectedLine(), 0);
}

TEST(IniText, TheRestOfALongLineNeverBecomesLinesOfItsOwn) {
    const std::string filler(250, 'x');
    // A long line with an inline comment: everything after " ;" is comment.
    IniDocument d = parse("Skin = " + filler + " ; note " + filler + "\nEvil = no\n");
    EXPECT_EQ(valueOf(d, "Skin"), filler);
    EXPECT_EQ(valueOf(d, "Evil"), "no");
    // A long line without "=" in reach: rejected whole, tail included.
    d = parse("Port = 1\n" + filler + " Port = 666\n  indented = 2\n");
    EXPECT_EQ(valueOf(d, "Port"), "1indented = 2");
    EXPECT_EQ(d.firstRejectedLine(), 2);
}

TEST(IniText, FormatReadsBackTheSameValues) {
    IniDocument d = parse("Zeta = z\n[Later]\nK = v\n");
    d.set("", "OSC Base Port", "7000");
    d.set("later", "Semi", ";starts like a comment");
    d.set("", "Long", std::string(400, 'q') + " tail");
    d.set("New", "N", "1");
    const std::string text = d.format();
    EXPECT_EQ(text.substr(0, 30), "Zeta = z\nOSC Base Port = 7000\n");
    const IniDocument back = parse(text);
    EXPECT_EQ(back.firstRejectedLine(), 0);
    for (const auto &section : d.sections())
        for (const auto &entry : section.entries)
            EXPECT_EQ(valueOf(back, entry.name, section.name), entry.value) << entry.name;
    EXPECT_EQ(back.format(), text);
}

TEST(IniText, WhatALineCanHold) {
    EXPECT_TRUE(IniDocument::canHold("OSC Base Port", "7000"));
    EXPECT_TRUE(IniDocument::canHold("Skin", ""));
    EXPECT_TRUE(IniDocument::canHold("Skin", ";x#y[z]"));
    EXPECT_FALSE(IniDocument::canHold("Skin", "two\nlines"));
    EXPECT_FALSE(IniDocument::canHold("Skin", " padded"));
    EXPECT_FALSE(IniDocument::canHold("Skin", "has ;comment"));
    EXPECT_FALSE(IniDocument::canHold("a:b", "1"));
    EXPECT_FALSE(IniDocument::canHold("#name", "1"));
    EXPECT_FALSE(IniDocument::canHold("", "1"));
}

TEST(IniText, BinaryIsNotIniText) {
    IniDocument d;
    const char withZero[] = "A = 1\n\0B = 2\n";
    EXPECT_FALSE(IniDocument::parse(std::string(withZero, sizeof withZero - 1), d));
    EXPECT_FALSE(IniDocument::parse("A = 1\x01\n", d));
    EXPECT_TRUE(d.sections().empty());
    EXPECT_TRUE(IniDocument::parse("A = caf\xc3\xa9\tau lait\n", d));
    EXPECT_EQ(valueOf(d, "A"), "caf\xc3\xa9\tau lait");
}
