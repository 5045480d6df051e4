#include "catalogue/fix_extensions.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

ContentType Type(std::vector<std::string> extensions, bool text = false, bool weak = false) {
    ContentType type;
    type.extensions = std::move(extensions);
    type.text = text;
    type.weak = weak || text;
    return type;
}

TEST(FixExtensions, ExtensionToGive) {
    const ContentType exe = Type({"exe"}), dll = Type({"dll"}), zip = Type({"zip"});
    const ContentType jpeg = Type({"jpeg", "jpg", "jpe", "jfif"}), ra = Type({"ra"});
    const ContentType gz = Type({"gz", "tgz"}), html = Type({"html"}, false, true);
    const ContentType text = Type({}, true), js = Type({"js"}, false, true), none = Type({});
    const struct {
        const char* name;
        const ContentType& type;
        const char* expected;
    } cases[] = {
        {"7F00A1.bin", exe, "exe"}, {"0A1B2C7C", exe, "exe"},   {"12-34_5F.zip", exe, "exe"},
        {"Setup.EXE", exe, ""},     {"saver.scr", exe, ""},     {"cmd.Com", exe, ""},
        {"driver.dll", exe, "exe"}, {"LIB.DLL", dll, ""},       {"ctl.ocx", dll, ""},
        {"applet.cpl", dll, ""},    {"tool.jar", zip, ""},      {"Report.DOCX", zip, ""},
        {"book.epub", zip, ""},     {"pack.3mf", zip, ""},      {"tool.jar", exe, "exe"},
        {"pack.zip", zip, ""},      {"photo.dat", jpeg, "jpg"}, {"photo.JPEG", jpeg, ""},
        {"photo.jfif", jpeg, ""},   {"song.rm", ra, ""},        {"song.bin", ra, "rm"},
        {"notes.txt.gz", gz, ""},   {"page.bin", html, ""},     {"0A1B.bin", html, "html"},
        {"page.htm", html, ""},     {"0001", text, "txt"},      {"0001.dat", text, ""},
        {"README", text, ""},       {"COPYING", text, ""},      {"changelog", text, ""},
        {"net.md", js, ""},         {"00AB.md", js, "js"},      {"libc.so.6", none, ""},
        {".0A1B", exe, ""},         {"0A1B", none, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtensionToGive(c.name, c.type), c.expected) << c.name;
}

TEST(FixExtensions, NameWithExtension) {
    const struct {
        const char* name;
        const char* extension;
        const char* expected;
    } cases[] = {
        {"7F00A1.bin", "exe", "7F00A1.exe"},         {"0A1B2C7C", "exe", "0A1B2C7C.exe"},
        {"archive.tar.bin", "gz", "archive.tar.gz"}, {"Setup.exe.bin", "exe", "Setup.exe"},
        {"Setup.EXE.bin", "exe", "Setup.EXE"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameWithExtension(c.name, c.extension), c.expected) << c.name;
}

} // namespace
} // namespace tressel
