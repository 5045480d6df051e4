#include "readers/html_reader.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

namespace tressel {
namespace {

using Values = std::vector<std::string>;

ReadResult Read(const std::string& bytes) {
    MemorySource source(bytes);
    return ParseHtml(source, {});
}

struct TitleCase {
    const char* what;
    std::string page;
    std::string title;
};

TEST(HtmlReader, TitlesBecomeUtf8Text) {
    const TitleCase cases[] = {
        {"decimal reference", "<HTML><HEAD><TITLE>Report &#8211; 2005</TITLE>", "Report – 2005"},
        {"hexadecimal reference", "<title>Report &#x2013; 2005 &#X41;</title>", "Report – 2005 A"},
        {"reference beyond 16 bits", "<title>&#x1F600;&#128512</title>", "😀😀"},
        {"Windows range of numbers", "<title>a &#150; b&#153;</title>", "a – b™"},
        {"broken references kept", "<title>&#; &#xZ; &#0; &#xD800;</title>", "&#; &#xZ; � �"},
        {"named references", "<title>Tom &amp; Jerry &lt;3 &quot;x&quot; &apos;y&apos;</title>",
         "Tom & Jerry <3 \"x\" 'y'"},
        {"no-break space", "<title>a&nbsp;b</title>", "a\u00A0b"},
        {"HTML 4 names", "<title>Gr&uuml;&szlig;e &ndash; &copy;&yuml;&euro;</title>",
         "Grüße – ©ÿ€"},
        {"unknown names kept", "<title>AT&T &copy &amp &bogus; &;</title>",
         "AT&T &copy &amp &bogus; &;"},
        {"white space collapsed", "<title>\n  Two\r\n\tlines  </title>", "Two lines"},
        {"attributes on the element", "<title lang=\"en\">Hello</title>", "Hello"},
        {"upper-case close", "<Title>Mixed</TITLE>", "Mixed"},
        {"UTF-8 without a declaration", "<title>Grüße aus Köln</title>", "Grüße aus Köln"},
        {"Latin-1 without a declaration", "<title>Caf\xE9 \x80</title>", "Café €"},
        {"declared ISO-8859-15",
         "<head><meta charset=\"ISO-8859-15\"><title>Preis 5 \xA4 \xBD</title>", "Preis 5 € œ"},
        {"declared by http-equiv",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=koi8-r\">"
         "<title>\xF0\xD2\xC9\xD7\xC5\xD4</title>",
         "Привет"},
        {"declared by XML", "<?xml version=\"1.0\" encoding='iso-8859-7'?><title>\xE1</title>",
         "α"},
        {"ISO-8859-1 read as Windows-1252", "<meta charset=iso-8859-1><title>\x93q\x94</title>",
         "“q”"},
        {"unknown charset falls back", "<meta charset=\"x-no-such-set\"><title>\xE9</title>", "é"},
        {"references after conversion", "<meta charset=iso-8859-15><title>\xA4 &#8364;</title>",
         "€ €"},
        {"UTF-16 with byte-order mark",
         std::string("\xFF\xFE<\0t\0i\0t\0l\0e\0>\0H\0i\0<\0/\0t\0i\0t\0l\0e\0>\0", 36), "Hi"},
    };
    for (const TitleCase& c : cases) {
        const ReadResult reading = Read(c.page);
        EXPECT_TRUE(reading.recognised) << c.what;
        EXPECT_EQ(reading.values, Values{c.title}) << c.what;
        EXPECT_EQ(reading.labels, Values{"Title"}) << c.what;
        EXPECT_EQ(reading.extension, "html") << c.what;
    }
}

// Where "<title" and its end fall among the four windows of 1023 bytes.
struct WindowCase {
    const char* what;
    size_t titleAt; // offset of "<title"
    size_t textLength;
    bool recognised;
    bool titled;
};

TEST(HtmlReader, TheTitleIsSearchedInFourWindows) {
    const WindowCase cases[] = {
        {"first window", 10, 5, true, true},
        {"marker split between windows", 1020, 5, true, true},
        {"title closes in the next window", 1000, 100, true, true},
        {"fourth window", 3000, 10, true, true},
        {"past the fourth window", 4100, 10, false, false},
        {"no end within the window that starts at it", 10, 1100, true, false},
    };
    for (const WindowCase& c : cases) {
        const std::string page = std::string(c.titleAt, ' ') + "<title>" +
                                 std::string(c.textLength, 'x') + "</title>" +
                                 std::string(5000, ' ');
        const ReadResult reading = Read(page);
        EXPECT_EQ(reading.recognised, c.recognised) << c.what;
        EXPECT_EQ(reading.values.size(), c.titled ? 1u : 0u) << c.what;
    }
    EXPECT_EQ(Read("<title>Cut short").values, Values{});
    EXPECT_TRUE(Read("<title>Cut short").recognised);
    // Text after a NUL byte takes no part in the window's search.
    EXPECT_FALSE(Read(std::string("<html>\0<title>x</title>", 23)).recognised);
}

TEST(HtmlReader, PagesWithoutATitleAreRefused) {
    for (const std::string page : {"", "<html><body>no title</body></html>", "<titl", "title>"}) {
        const ReadResult reading = Read(page);
        EXPECT_FALSE(reading.recognised) << page;
        EXPECT_STREQ(reading.reason, kNoTitleElement) << page;
    }
}

TEST(HtmlReader, TheRegistryReadsPagesByTheirExtensionOrWithScanAll) {
    test::TempDir dir;
    const std::string page = "<html><title>Sat news</title></html>";
    for (const char* name : {"a.htm", "a.html", "a.php", "a.asp", "a.shtml", "a.mht"}) {
        auto reader = CreateFileReader(dir.write(name, page), false);
        EXPECT_STREQ(reader->formatName(), "html") << name;
        EXPECT_EQ(reader->values(), Values{"Sat news"}) << name;
    }
    const std::string bin = dir.write("0A1B.bin", page);
    EXPECT_FALSE(CreateFileReader(bin, false)->isRecognized());
    EXPECT_STREQ(CreateFileReader(bin, true)->formatName(), "html");
    EXPECT_EQ(CHtmlReader(test::SourcePath("samples/text/schedule.html"), false).values(),
              Values{"Satellite schedule"});
}

} // namespace
} // namespace tressel
