#include "pdf_reader.h"

#include "platform/pdf/pdf_document.h"
#include "platform/pdf/pdf_objects.h"
#include "platform/text.h"

#include <algorithm>
#include <functional>
#include <set>

namespace tressel {

namespace {

using pdf::Object;

constexpr size_t kTailSize = 200;
constexpr size_t kSectionView = 100;
constexpr size_t kTrailerView = 500;
constexpr size_t kInfoView = 1000;
constexpr size_t kInfoWindow = 4096;
constexpr size_t kPdfHeaderWindow = 1024;
constexpr int kMaxSections = 64;

// Exactly n bytes at offset, or nothing: the windows of the classic walk.
std::string View(ByteSource& source, uint64_t offset, size_t n) {
    std::string bytes = source.read(offset, n);
    if (bytes.size() != n)
        bytes.clear();
    return bytes;
}

// Carriage returns read as line feeds in every text the classic walk searches.
std::string LineFeeds(std::string bytes) {
    std::replace(bytes.begin(), bytes.end(), '\r', '\n');
    return bytes;
}

// The text strictly between the first start and the first end after it, or empty.
std::string_view Between(std::string_view text, std::string_view start, std::string_view end) {
    const size_t from = text.find(start);
    if (from == std::string_view::npos)
        return {};
    const size_t to = text.find(end, from + start.size());
    if (to == std::string_view::npos)
        return {};
    return text.substr(from + start.size(), to - from - start.size());
}

uint64_t LeadingNumber(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\n' || text[pos] == '\t'))
        ++pos;
    uint64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
        value = value < 100'000'000'000'000 ? value * 10 + uint64_t(text[pos] - '0') : value;
    return value;
}

// The number of key in a trailer text, by the three patterns of the classic walk.
uint64_t NumberOf(std::string_view text, const std::string& key) {
    std::string_view found = Between(text, "/" + key + " ", "\n");
    if (found.empty())
        found = Between(text, "/" + key + "\n", "\n");
    if (found.empty())
        found = Between(text, "/" + key, "/");
    return LeadingNumber(found);
}

// "7 0" of "/Info 7 0 R": the first two words of the reference.
std::string InfoReference(std::string_view text) {
    std::string_view found = Between(text, "/Info ", "\n");
    if (found.empty())
        found = Between(text, "/Info\n", "\n");
    if (found.empty())
        found = Between(text, "/Info ", "/");
    std::string words;
    size_t pos = 0;
    for (int word = 0; word < 2; ++word) {
        while (pos < found.size() && (found[pos] == ' ' || found[pos] == '\n'))
            ++pos;
        const size_t start = pos;
        while (pos < found.size() && found[pos] != ' ' && found[pos] != '\n')
            ++pos;
        if (start == pos)
            break;
        words += (word ? " " : "") + std::string(found.substr(start, pos - start));
    }
    return words;
}

// Any /Encrypt entry, by number or as a direct dictionary.
bool NamesEncryption(std::string_view trailer) {
    return trailer.find("/Encrypt") != std::string_view::npos;
}

struct ClassicWalk {
    bool recognised = false;
    bool encrypted = false;
    std::optional<uint64_t> infoOffset;
    std::string infoReference;
};

// The start of a classic section at offset: its first subsection and entry size.
struct ClassicSection {
    uint64_t first = 0;
    uint64_t count = 0;
    size_t headerLength = 0;
    size_t entrySize = 20;
};

// The first line, "xref"; the next non-empty one, "F N"; the entry size measured on
// the second entry line. Positions count the original bytes, a CR LF as two.
std::optional<ClassicSection> ReadClassicSection(ByteSource& source, uint64_t offset) {
    const std::string raw = View(source, offset, kSectionView);
    const std::string text = LineFeeds(raw);
    if (text.compare(0, 4, "xref") != 0)
        return std::nullopt;
    auto lineEndLength = [&](size_t end) {
        return end + 1 < raw.size() && raw[end] == '\r' && raw[end + 1] == '\n' ? 2u : 1u;
    };
    size_t pos = text.find('\n');
    while (pos != std::string::npos && pos < text.size() && text[pos] == '\n')
        ++pos;
    if (pos == std::string::npos || pos >= text.size())
        return std::nullopt;
    const size_t numbersEnd = text.find('\n', pos);
    if (numbersEnd == std::string::npos)
        return std::nullopt;
    ClassicSection section;
    const std::string_view numbers = std::string_view(text).substr(pos, numbersEnd - pos);
    section.first = LeadingNumber(numbers);
    const size_t blank = numbers.find_first_of(" \t", numbers.find_first_not_of(" \t"));
    section.count = blank == std::string_view::npos ? 0 : LeadingNumber(numbers.substr(blank));
    section.headerLength = numbersEnd + lineEndLength(numbersEnd);
    const size_t firstEnd = text.find('\n', section.headerLength);
    if (firstEnd != std::string::npos) {
        const size_t second = firstEnd + lineEndLength(firstEnd);
        const size_t secondEnd = text.find('\n', second);
        if (secondEnd != std::string::npos)
            section.entrySize = secondEnd - second + lineEndLength(secondEnd);
    }
    return section;
}

// The classic walk: the trailer in the last 200 bytes, its startxref, and the
// cross-reference sections from there through "Prev".
ClassicWalk WalkClassically(ByteSource& source) {
    ClassicWalk walk;
    const uint64_t size = source.size();
    if (size < kTailSize)
        return walk;
    const std::string tail = LineFeeds(View(source, size - kTailSize, kTailSize));
    const std::string_view trailer = Between(tail, "trailer", "%%EOF");
    walk.infoReference = InfoReference(trailer);
    uint64_t info = NumberOf(trailer, "Info");
    std::string_view xref = Between(trailer, "startxref\n", "\n");
    if (xref.empty())
        xref = Between(trailer, "startxref\n\n", "\n");
    uint64_t offset = LeadingNumber(xref);
    if (offset == 0)
        return walk;
    walk.recognised = true;
    if (NamesEncryption(trailer)) {
        walk.encrypted = true;
        return walk;
    }
    std::set<uint64_t> visited;
    for (int hop = 0; hop < kMaxSections && visited.insert(offset).second; ++hop) {
        const std::optional<ClassicSection> section = ReadClassicSection(source, offset);
        if (!section)
            break;
        if (info != 0 && info >= section->first && info - section->first < section->count) {
            const uint64_t entry =
                offset + section->headerLength + (info - section->first) * section->entrySize;
            const uint64_t at =
                LeadingNumber(View(source, entry, std::min<size_t>(section->entrySize, 10)));
            if (at != 0 && at < size) {
                walk.infoOffset = at;
                return walk;
            }
        }
        if (section->count > size)
            break;
        const uint64_t next = offset + section->headerLength + section->count * section->entrySize;
        if (next >= size)
            break;
        const std::string bytes =
            LineFeeds(View(source, next, std::min<uint64_t>(size - next, kTrailerView)));
        const std::string_view nextTrailer = Between(bytes, "trailer", "%%EOF");
        if (info == 0) {
            info = NumberOf(nextTrailer, "Info");
            walk.infoReference = InfoReference(nextTrailer);
        }
        offset = NumberOf(nextTrailer, "Prev");
        if (offset == 0)
            break;
        if (NamesEncryption(nextTrailer)) {
            walk.encrypted = true;
            break;
        }
    }
    return walk;
}

// The information dictionary the classic walk found at offset, when the object there
// begins with the reference's numbers; the dictionary is read from its first "<<".
std::optional<Object> ClassicInfoDictionary(ByteSource& source, uint64_t offset,
                                            const std::string& reference) {
    const uint64_t size = source.size();
    const std::string start =
        LineFeeds(View(source, offset, std::min<uint64_t>(size - offset, kInfoView)));
    if (start.compare(0, reference.size(), reference) != 0)
        return std::nullopt;
    const std::string window = source.read(offset, kInfoWindow);
    const size_t open = window.find("<<");
    if (open == std::string::npos)
        return std::nullopt;
    pdf::Parser parser(window, open);
    std::optional<Object> dictionary = parser.parseObject();
    if (!dictionary || dictionary->kind != Object::Kind::Dictionary)
        return std::nullopt;
    return dictionary;
}

struct ModernWalk {
    bool recognised = false;
    bool encrypted = false;
    std::optional<Object> info;
};

// Through the file's last "startxref": classic tables and cross-reference streams,
// with the information dictionary possibly inside an object stream.
ModernWalk WalkFromStartXref(ByteSource& source, pdf::Document& document) {
    ModernWalk walk;
    if (source.read(0, kPdfHeaderWindow).find("%PDF-") == std::string::npos)
        return walk;
    const std::optional<uint64_t> offset = pdf::FindStartXref(source);
    if (!offset || !document.load(*offset))
        return walk;
    walk.recognised = true;
    walk.encrypted = document.encrypted();
    if (walk.encrypted)
        return walk;
    if (const std::optional<int64_t> info = document.infoObject()) {
        std::optional<Object> object = document.resolve(*info);
        if (object && object->kind == Object::Kind::Dictionary)
            walk.info = std::move(object);
    }
    return walk;
}

// A string entry of the dictionary as UTF-8; one indirect step is followed.
std::string StringValue(const Object& dictionary, std::string_view key, pdf::Document* document) {
    const Object* value = dictionary.find(key);
    std::optional<Object> resolved;
    if (value && value->kind == Object::Kind::Reference && document) {
        resolved = document->resolve(value->number);
        value = resolved ? &*resolved : nullptr;
    }
    if (!value || value->kind != Object::Kind::String)
        return {};
    return pdf::TextToUtf8(value->text);
}

void AddInformation(ReadResult& result, const Object& info, pdf::Document* document) {
    auto text = [&](std::string_view key) { return StringValue(info, key, document); };
    result.add(UI_TEXT_NOOP("Labels", "Title"), text("Title"));
    result.add(UI_TEXT_NOOP("Labels", "Author"), text("Author"));
    result.add(UI_TEXT_NOOP("Labels", "Subject"), text("Subject"));
    if (std::string keywords = text("Keywords"); !keywords.empty())
        result.add(UI_TEXT_NOOP("Labels", "Keywords"), std::move(keywords));
    const std::string modified = PdfDateText(text("ModDate"));
    if (!modified.empty())
        result.add(UI_TEXT_NOOP("Labels", "Modified"), modified);
    if (std::string created = PdfDateText(text("CreationDate")); created != modified)
        result.add(UI_TEXT_NOOP("Labels", "Created"), std::move(created));
    result.add(UI_TEXT_NOOP("Labels", "Producer"), text("Producer"));
    result.add(UI_TEXT_NOOP("Labels", "Creator"), text("Creator"));
}

} // namespace

std::string PdfDateText(std::string_view value) {
    if (value.size() < 3)
        return {};
    if (value.substr(0, 2) != "D:")
        return std::string(value);
    const std::string_view digits = value.substr(2);
    auto part = [&](size_t from, size_t length) {
        return std::string(digits.substr(std::min(from, digits.size()), length));
    };
    // The parts are cut by bytes: a damaged date must not cut a character in two.
    return ToValidUtf8(part(4, 2) + "/" + part(6, 2) + "/" + part(0, 4));
}

ReadResult ParsePdf(ByteSource& source, const ReadRequest&) {
    ReadResult result(kPdfFormat.name);
    const ClassicWalk classic = WalkClassically(source);
    std::optional<Object> classicInfo;
    if (classic.infoOffset)
        classicInfo = ClassicInfoDictionary(source, *classic.infoOffset, classic.infoReference);
    if (classic.encrypted || classicInfo) {
        result.accept("pdf");
        if (classic.encrypted)
            result.add(UI_TEXT_NOOP("Labels", "Encryption"), kEncryptedValue);
        else
            AddInformation(result, *classicInfo, nullptr);
        return result;
    }
    pdf::Document document(source);
    const ModernWalk modern = WalkFromStartXref(source, document);
    if (!classic.recognised && !modern.recognised)
        return result.refuse(kNoCrossReference);
    result.accept("pdf");
    if (modern.encrypted)
        result.add(UI_TEXT_NOOP("Labels", "Encryption"), kEncryptedValue);
    else if (modern.info)
        AddInformation(result, *modern.info, &document);
    else if (classic.infoOffset)
        AddInformation(result, Object{}, nullptr); // the object did not match its reference
    return result;
}

} // namespace tressel
