#include "readers/pdf_reader.h"
#include "readers/registry.h"
#include "temp_dir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <map>

namespace tressel {
namespace {

using Values = std::vector<std::string>;

std::string Deflate(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size,
             reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()));
    out.resize(size);
    return out;
}

std::string Offset10(uint64_t offset) {
    char text[16];
    std::snprintf(text, sizeof text, "%010llu", static_cast<unsigned long long>(offset));
    return text;
}

// A PDF written object by object, ended by a classic table or a cross-reference stream.
class PdfBuilder {
public:
    explicit PdfBuilder(std::string header = "%PDF-1.4\n") : m_bytes(std::move(header)) {}

    PdfBuilder& object(int number, const std::string& body) {
        m_offsets[number] = m_bytes.size();
        m_bytes += std::to_string(number) + " 0 obj\n" + body + "\nendobj\n";
        return *this;
    }
    uint64_t size() const { return m_bytes.size(); }

    // One section from object 0, its trailer, startxref and %%EOF.
    std::string classic(const std::string& trailer, const std::string& eol = " \n") {
        const uint64_t xref = m_bytes.size();
        const int count = m_offsets.empty() ? 1 : m_offsets.rbegin()->first + 1;
        std::string out =
            m_bytes + "xref\n0 " + std::to_string(count) + "\n0000000000 65535 f" + eol;
        for (int i = 1; i < count; ++i)
            out += Offset10(m_offsets.count(i) ? m_offsets[i] : 0) + " 00000 n" + eol;
        return out + "trailer\n<< /Size " + std::to_string(count) + " " + trailer +
               " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    }

    // A cross-reference stream (W [1 4 2]) listing the objects written and those given
    // as (number, object stream, index); compressed, with the PNG Up predictor if asked.
    std::string stream(const std::string& entries,
                       const std::map<int, std::pair<int, int>>& compressed = {},
                       bool predictor = false) {
        const int self = 99;
        m_offsets[self] = m_bytes.size();
        std::string rows, previous(7, '\0');
        for (int i = 0; i <= self; ++i) {
            std::string row(7, '\0');
            if (m_offsets.count(i) || compressed.count(i)) {
                const bool inStream = compressed.count(i) != 0;
                const uint64_t where = inStream ? uint64_t(compressed.at(i).first) : m_offsets[i];
                const int index = inStream ? compressed.at(i).second : 0;
                row = {char(inStream ? 2 : 1),
                       char(where >> 24),
                       char(where >> 16),
                       char(where >> 8),
                       char(where),
                       char(index >> 8),
                       char(index)};
            }
            if (predictor) {
                std::string up(1, '\x02');
                for (size_t b = 0; b < row.size(); ++b)
                    up.push_back(static_cast<char>(row[b] - previous[b]));
                previous = row;
                row = up;
            }
            rows += row;
        }
        const std::string data = Deflate(rows);
        std::string out = m_bytes + std::to_string(self) +
                          " 0 obj\n<< /Type /XRef /W [1 4 2] /Size " + std::to_string(self + 1) +
                          " /Filter /FlateDecode /Length " + std::to_string(data.size()) + " " +
                          entries +
                          (predictor ? " /DecodeParms << /Columns 7 /Predictor 12 >>" : "") +
                          " >>\nstream\r\n" + data + "\nendstream\nendobj\n";
        return out + "startxref\n" + std::to_string(m_offsets[self]) + "\n%%EOF\n";
    }

    // An object stream holding the given objects (number, dictionary text).
    PdfBuilder& objectStream(int number, const std::vector<std::pair<int, std::string>>& objects) {
        std::string pairs, bodies;
        for (const auto& [object, body] : objects) {
            pairs += std::to_string(object) + " " + std::to_string(bodies.size()) + " ";
            bodies += body + "\n";
        }
        const std::string data = Deflate(pairs + bodies);
        return this->object(
            number, "<< /Type /ObjStm /N " + std::to_string(objects.size()) + " /First " +
                        std::to_string(pairs.size()) + " /Filter /FlateDecode /Length " +
                        std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream");
    }

private:
    std::string m_bytes;
    std::map<int, uint64_t> m_offsets;
};

ReadResult Read(const std::string& bytes) {
    MemorySource source(bytes);
    return ParsePdf(source, {});
}

const std::string kInfo = "<< /Title (Orbit Report) /Author (Ann Lee) /Subject (Ku band)\n"
                          "/Keywords (dish, LNB) /ModDate (D:20040315120000Z)\n"
                          "/CreationDate (D:20030102) /Producer (Ghostscript) /Creator (groff) >>";
const Values kInfoValues = {"Orbit Report", "Ann Lee",    "Ku band",     "dish, LNB",
                            "03/15/2004",   "01/02/2003", "Ghostscript", "groff"};

PdfBuilder Catalogue() {
    PdfBuilder pdf;
    pdf.object(1, "<< /Type /Catalog /Pages 2 0 R >>").object(2, "<< /Type /Pages /Count 0 >>");
    return pdf;
}

TEST(PdfReader, InfoFromTheTrailerOfASingleSection) {
    for (const std::string eol : {" \n", "\r\n", " \r"}) {
        const ReadResult reading =
            Read(Catalogue().object(7, kInfo).classic("/Root 1 0 R /Info 7 0 R", eol));
        EXPECT_TRUE(reading.recognised);
        EXPECT_EQ(reading.values, kInfoValues);
        EXPECT_EQ(reading.labels, (Values{"Title", "Author", "Subject", "Keywords", "Modified",
                                          "Created", "Producer", "Creator"}));
        EXPECT_EQ(reading.extension, "pdf");
    }
}

struct ValueCase {
    const char* what;
    std::string info;
    Values values;
};

TEST(PdfReader, ValuesOfTheInfoDictionary) {
    const ValueCase cases[] = {
        {"equal dates shown once",
         "<< /Title (T) /ModDate (D:20050607) /CreationDate (D:20050607) >>",
         {"T", "", "", "06/07/2005", "", ""}},
        {"empty entries keep their places", "<< /Producer (P) >>", {"", "", "", "P", ""}},
        {"UTF-16 hex string", "<< /Title <FEFF00480069> >>", {"Hi", "", "", "", ""}},
        {"UTF-16 with a surrogate pair",
         "<< /Title <FE FF D8 3D DE 00 00 21> >>",
         {"😀!", "", "", "", ""}},
        {"hex string without a mark", "<< /Title<48656C6C6F2> >>", {"Hello ", "", "", "", ""}},
        {"escapes and balanced parentheses",
         "<< /Title (a\\(b\\) \\\\ \\101\\t(nested (twice)) c\\\nd) >>",
         {"a(b) \\ A\t(nested (twice)) cd", "", "", "", ""}},
        {"PDFDocEncoding",
         "<< /Title (\x84 \x92 \x8D\x8E \xA0 \xE9) >>",
         {"— ™ “” € é", "", "", "", ""}},
        {"UTF-8 kept",
         "<< /Title (Gr\xC3\xBC\xC3\x9F"
         "e) >>",
         {"Grüße", "", "", "", ""}},
        {"key on its own line",
         "<<\n/Title\n(Line)\n/Author(Tight)>>",
         {"Line", "Tight", "", "", ""}},
        {"non-string values read as empty",
         "<< /Title 12 /Author /Name /Subject [(x)] >>",
         {"", "", "", "", ""}},
        {"dates not in PDF form kept",
         "<< /ModDate (March 2004) /CreationDate (ab) >>",
         {"", "", "", "March 2004", "", "", ""}},
    };
    for (const ValueCase& c : cases) {
        const ReadResult reading = Read(Catalogue().object(7, c.info).classic("/Info 7 0 R"));
        EXPECT_TRUE(reading.recognised) << c.what;
        EXPECT_EQ(reading.values, c.values) << c.what;
    }
}

TEST(PdfReader, DateTexts) {
    EXPECT_EQ(PdfDateText("D:20040315120000+01'00'"), "03/15/2004");
    EXPECT_EQ(PdfDateText("D:2004"), "//2004");
    EXPECT_EQ(PdfDateText("D:"), "");
    EXPECT_EQ(PdfDateText("Tuesday"), "Tuesday");
    EXPECT_EQ(PdfDateText("D:20041\u00FC"), "1\uFFFD/\uFFFD/2004"); // no half characters
}

TEST(PdfReader, EncryptedFilesSaySo) {
    const std::string trailerEncrypt = Catalogue()
                                           .object(7, kInfo)
                                           .object(8, "<< /Filter /Standard >>")
                                           .classic("/Info 7 0 R /Encrypt 8 0 R");
    const std::string directEncrypt =
        Catalogue().object(7, kInfo).classic("/Info 7 0 R /Encrypt << /Filter /Standard >>");
    const std::string streamEncrypt = Catalogue()
                                          .object(7, kInfo)
                                          .object(8, "<< /Filter /Standard >>")
                                          .stream("/Info 7 0 R /Encrypt 8 0 R");
    for (const std::string& file : {trailerEncrypt, directEncrypt, streamEncrypt}) {
        const ReadResult reading = Read(file);
        EXPECT_TRUE(reading.recognised);
        EXPECT_EQ(reading.values, Values{"encrypted :("});
        EXPECT_EQ(reading.labels, Values{"Encryption"});
    }
}

TEST(PdfReader, ATrailerFarFromTheEndIsReadThroughStartxref) {
    const std::string id(300, 'A');
    const ReadResult reading =
        Read(Catalogue().object(7, kInfo).classic("/Info 7 0 R /ID [<" + id + "> <" + id + ">]"));
    EXPECT_TRUE(reading.recognised);
    EXPECT_EQ(reading.values, kInfoValues);
}

TEST(PdfReader, CrossReferenceStreamsAndObjectStreams) {
    const ReadResult plain = Read(Catalogue().object(7, kInfo).stream("/Root 1 0 R /Info 7 0 R"));
    EXPECT_EQ(plain.values, kInfoValues);
    const ReadResult predicted =
        Read(Catalogue().object(7, kInfo).stream("/Root 1 0 R /Info 7 0 R", {}, true));
    EXPECT_EQ(predicted.values, kInfoValues);
    const ReadResult packed = Read(Catalogue()
                                       .objectStream(5, {{6, "<< /Title (Other) >>"}, {7, kInfo}})
                                       .stream("/Info 7 0 R", {{6, {5, 0}}, {7, {5, 1}}}, true));
    EXPECT_EQ(packed.values, kInfoValues);
    // A title given by reference is followed to its string.
    const ReadResult indirect = Read(Catalogue()
                                         .object(8, "(Far Title)")
                                         .objectStream(5, {{7, "<< /Title 8 0 R >>"}})
                                         .stream("/Info 7 0 R", {{7, {5, 0}}}));
    EXPECT_EQ(indirect.values, (Values{"Far Title", "", "", "", ""}));
}

TEST(PdfReader, AnUpdatedFileFindsInfoInAnOlderSection) {
    // The newest section lists only object 9; its Prev leads to the section with 7.
    std::string first = Catalogue().object(7, kInfo).classic("/Info 7 0 R");
    const uint64_t firstXref = first.find("xref");
    const uint64_t update = first.size();
    first += "9 0 obj\n(update)\nendobj\n";
    const uint64_t second = first.size();
    first += "xref\n0 1\n0000000000 65535 f \n9 1\n" + Offset10(update) + " 00000 n \n" +
             "trailer\n<< /Size 10 /Info 7 0 R /Prev " + std::to_string(firstXref) +
             " >>\nstartxref\n" + std::to_string(second) + "\n%%EOF\n";
    EXPECT_EQ(Read(first).values, kInfoValues);
}

TEST(PdfReader, WhatIsRecognisedWithoutValues) {
    // No /Info and no Prev: recognised, nothing to show.
    const ReadResult noInfo = Read(Catalogue().classic("/Root 1 0 R"));
    EXPECT_TRUE(noInfo.recognised);
    EXPECT_TRUE(noInfo.values.empty());
    // An /Info whose offset lands on another object: the places stay, empty.
    const std::string moved = Catalogue().object(3, kInfo).classic("/Info 3 0 R");
    std::string misplaced = moved;
    const size_t entry = misplaced.find(Offset10(moved.find("3 0 obj")));
    misplaced.replace(entry, 10, Offset10(moved.find("2 0 obj")));
    EXPECT_EQ(Read(misplaced).values, (Values{"", "", "", "", ""}));
    // A Prev chain that loops ends.
    std::string loop = Catalogue().classic("/Root 1 0 R /Info 7 0 R /Prev " + std::to_string(0));
    const std::string xref = std::to_string(loop.find("xref"));
    loop.replace(loop.find("/Prev 0"), 7, "/Prev " + xref);
    EXPECT_TRUE(Read(loop).recognised);
}

TEST(PdfReader, FilesWithoutCrossReferenceDataAreRefused) {
    const std::string cases[] = {"", "%PDF-1.4\n", "plain text\nstartxref\n12\n%%EOF\n",
                                 "%PDF-1.7\n" + std::string(300, ' ') + "startxref\n0\n%%EOF"};
    for (const std::string& bytes : cases) {
        const ReadResult reading = Read(bytes);
        EXPECT_FALSE(reading.recognised) << bytes;
        EXPECT_STREQ(reading.reason, kNoCrossReference) << bytes;
    }
}

// The real files of tests/fixtures/documents, made by ps2pdf and qpdf; their values
// are what exiftool reads from them (make-fixtures.sh --check).
TEST(PdfReader, FilesWrittenByRealTools) {
    const Values expected = {"Satellite Footprints 2026", "Tressel Team", "Ku-band coverage",
                             "satellite, footprint, dish"};
    for (const char* name : {"ghostscript.pdf", "qpdf-classic.pdf", "qpdf-streams.pdf"}) {
        CPdfReader reader(test::SourcePath("tests/fixtures/documents/") + name, false);
        EXPECT_TRUE(reader.isRecognized()) << name;
        ASSERT_GE(reader.values().size(), 4u) << name;
        EXPECT_EQ(Values(reader.values().begin(), reader.values().begin() + 4), expected) << name;
        EXPECT_EQ(reader.values().back(), "groff") << name;
    }
    CPdfReader unicode(test::SourcePath("tests/fixtures/documents/unicode-title.pdf"), false);
    ASSERT_FALSE(unicode.values().empty());
    EXPECT_EQ(unicode.values()[0], "Empfang für Anfänger – Teil 2");
}

TEST(PdfReader, TheRegistryReadsPdfByExtensionOrWithScanAll) {
    test::TempDir dir;
    const std::string bytes = Catalogue().object(7, kInfo).classic("/Info 7 0 R");
    EXPECT_STREQ(CreateFileReader(dir.write("a.PDF", bytes), false)->formatName(), "pdf");
    const std::string bin = dir.write("0A1B.bin", bytes);
    EXPECT_FALSE(CreateFileReader(bin, false)->isRecognized());
    EXPECT_EQ(CreateFileReader(bin, true)->values(), kInfoValues);
}

} // namespace
} // namespace tressel
