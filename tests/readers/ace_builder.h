#pragma once

// ACE archives built byte by byte from the published format: stored members and
// ACE 1.0 LZ77 members (literals, copies at new and repeated distances, Huffman codes
// sent as width tables), a compressed archive comment, the solid flag, a stub before
// the archive. No free program writes ACE archives. The codes come from the library's
// own table builder, so that the assignment of codes to widths (which the format ties
// to one particular sort) is shared; Debian's unace checks the result independently.

#include "platform/ace/ace_archive.h"
#include "platform/ace/ace_lz77.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <queue>
#include <string>
#include <string_view>
#include <vector>

namespace tressel::test {

enum class AceMethod { Stored, Lz77, Ace20 };

struct AceMember {
    std::string name; // bytes as stored (code page 437)
    std::string data;
    AceMethod method = AceMethod::Lz77;
    uint16_t extraFlags = 0; // e.g. ace::kFlagPassword
};

struct AceArchive {
    std::vector<AceMember> members;
    std::string comment; // none when empty
    bool solid = false;
    std::string stub;               // bytes before the archive, as a self-extracting stub
    unsigned dictionaryBits = 16;   // the window the encoder searches
    size_t symbolsPerBlock = 32767; // main symbols per block of code tables
    bool advertByte = true;         // an empty advert (unace wants a main header of 27 bytes)
    // Added to every file header's flags. Archives carry the add-size flag; Debian's
    // unace 1.2b lists no member whose header has it, and extracts nothing without it.
    uint16_t fileFlags = ace::kFlagAddSize;
};

// MSB first into 32-bit little-endian words.
class AceBitWriter {
public:
    void put(uint32_t value, unsigned bits) {
        for (unsigned i = bits; i-- > 0;) {
            m_word = m_word << 1 | ((value >> i) & 1);
            if (++m_used == 32)
                flushWord();
        }
    }
    std::string finish() {
        while (m_used != 0)
            put(0, 1);
        return m_bytes;
    }

private:
    void flushWord() {
        for (int i = 0; i < 4; ++i)
            m_bytes += static_cast<char>((m_word >> (8 * i)) & 0xFF);
        m_word = 0;
        m_used = 0;
    }
    std::string m_bytes;
    uint32_t m_word = 0;
    unsigned m_used = 0;
};

// Huffman code widths of at most maxWidth bits; frequencies are halved until they fit.
// Every tree gets at least two used symbols, as the format's single-symbol rule would
// otherwise change the widths.
inline std::vector<uint8_t> AceCodeWidths(std::vector<uint32_t> frequencies, unsigned maxWidth) {
    size_t used =
        std::count_if(frequencies.begin(), frequencies.end(), [](uint32_t f) { return f; });
    for (size_t s = 0; used < 2 && s < frequencies.size(); ++s)
        if (!frequencies[s]) {
            frequencies[s] = 1;
            ++used;
        }
    for (;;) {
        using Node = std::pair<uint64_t, size_t>;
        std::priority_queue<Node, std::vector<Node>, std::greater<>> queue;
        std::vector<size_t> parent(frequencies.size() * 2, SIZE_MAX);
        for (size_t s = 0; s < frequencies.size(); ++s)
            if (frequencies[s])
                queue.push({frequencies[s], s});
        size_t next = frequencies.size();
        while (queue.size() > 1) {
            const Node a = queue.top();
            queue.pop();
            const Node b = queue.top();
            queue.pop();
            parent[a.second] = parent[b.second] = next;
            queue.push({a.first + b.first, next++});
        }
        std::vector<uint8_t> widths(frequencies.size(), 0);
        unsigned longest = 0;
        for (size_t s = 0; s < frequencies.size(); ++s) {
            if (!frequencies[s])
                continue;
            unsigned depth = 0;
            for (size_t n = s; parent[n] != SIZE_MAX; n = parent[n])
                ++depth;
            widths[s] = static_cast<uint8_t>(depth);
            longest = std::max(longest, depth);
        }
        if (longest <= maxWidth)
            return widths;
        for (uint32_t& f : frequencies)
            if (f)
                f = (f + 1) / 2;
    }
}

// Writes a table as the format stores it and returns the codes the decoder will use.
inline std::vector<uint32_t> WriteAceTable(AceBitWriter& out, std::vector<uint8_t> widths,
                                           unsigned maxWidth, ace::HuffmanTable& table) {
    while (widths.size() > 1 && widths.back() == 0)
        widths.pop_back();
    const uint8_t smallest =
        *std::min_element(widths.begin(), widths.end(),
                          [](uint8_t a, uint8_t b) { return (a ? a : 255) < (b ? b : 255); });
    const unsigned lower = smallest - 1u;
    std::vector<unsigned> stored(widths.size());
    unsigned upper = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        stored[i] = widths[i] ? widths[i] - lower : 0;
        upper = std::max(upper, stored[i] + 1);
    }
    // Differences modulo upper; four or more zero differences are a run.
    std::vector<unsigned> deltas(widths.size());
    for (size_t i = 0; i < widths.size(); ++i)
        deltas[i] = i == 0 ? stored[0] : (stored[i] + upper - stored[i - 1]) % upper;
    std::vector<std::pair<unsigned, unsigned>> symbols; // symbol, run length
    for (size_t i = 0; i < deltas.size();) {
        size_t run = 0;
        while (i + run < deltas.size() && deltas[i + run] == 0 && run < 19)
            ++run;
        if (run >= 4) {
            symbols.push_back({upper, static_cast<unsigned>(run)});
            i += run;
        } else {
            symbols.push_back({deltas[i], 0});
            ++i;
        }
    }
    std::vector<uint32_t> frequencies(upper + 1, 0);
    for (const auto& s : symbols)
        ++frequencies[s.first];
    const std::vector<uint8_t> widthWidths = AceCodeWidths(frequencies, ace::kWidthCodeWidth);
    ace::HuffmanTable widthTable;
    ace::BuildHuffmanTable(widthWidths.data(), widthWidths.size(), ace::kWidthCodeWidth,
                           widthTable);
    const std::vector<uint32_t> widthCodes = ace::HuffmanCodes(widthTable);

    out.put(static_cast<uint32_t>(widths.size() - 1), 9);
    out.put(lower, 4);
    out.put(upper, 4);
    for (uint8_t w : widthWidths)
        out.put(w, ace::kWidthWidthBits);
    for (const auto& s : symbols) {
        out.put(widthCodes[s.first], widthTable.widths[s.first]);
        if (s.first == upper)
            out.put(s.second - 4, 4);
    }
    ace::BuildHuffmanTable(widths.data(), widths.size(), maxWidth, table);
    return ace::HuffmanCodes(table);
}

// One LZ77 symbol with what follows it.
struct AceToken {
    unsigned symbol = 0;
    uint32_t distanceBits = 0;
    unsigned distanceWidth = 0;
    int lengthSymbol = -1;
};

// Greedy matching over history + data; only data is encoded, history is what a solid
// archive's earlier members left in the dictionary.
inline std::vector<AceToken> AceTokens(std::string_view history, std::string_view data,
                                       unsigned dictionaryBits) {
    const std::string all = std::string(history) + std::string(data);
    const size_t window = size_t(1) << dictionaryBits;
    std::vector<std::vector<size_t>> heads(1 << 16);
    auto hash = [&](size_t at) {
        return (static_cast<uint8_t>(all[at]) << 8 ^ static_cast<uint8_t>(all[at + 1]) * 31 ^
                static_cast<uint8_t>(all[at + 2]) * 131) &
               0xFFFF;
    };
    auto remember = [&](size_t at) {
        if (at + 2 < all.size())
            heads[hash(at)].push_back(at);
    };
    std::array<uint32_t, 4> recent{}; // raw distances, the most recent last
    auto matchLength = [&](size_t from, size_t at, size_t limit) {
        size_t n = 0;
        while (n < limit && all[from + n] == all[at + n])
            ++n;
        return n;
    };
    for (size_t at = 0; at < history.size(); ++at)
        remember(at);
    std::vector<AceToken> tokens;
    for (size_t at = history.size(); at < all.size();) {
        const size_t left = all.size() - at;
        size_t bestLength = 0;
        uint32_t bestRaw = 0;
        int bestSlot = -1;
        for (int slot = 0; slot < 4; ++slot) {
            const uint64_t distance = uint64_t(recent[3 - slot]) + 1;
            if (distance > at)
                continue;
            const size_t minimum = slot > 1 ? 3 : 2;
            const size_t n = matchLength(at - distance, at, std::min<size_t>(left, minimum + 254));
            if (n >= minimum && n > bestLength) {
                bestLength = n;
                bestSlot = slot;
            }
        }
        if (at + 2 < all.size()) {
            const std::vector<size_t>& chain = heads[hash(at)];
            int tried = 0;
            for (auto it = chain.rbegin(); it != chain.rend() && tried < 64; ++it, ++tried) {
                if (at - *it > window)
                    break;
                const uint32_t raw = static_cast<uint32_t>(at - *it - 1);
                const size_t minimum = raw <= ace::kMaxDistanceAtLength2   ? 2
                                       : raw <= ace::kMaxDistanceAtLength3 ? 3
                                                                           : 4;
                const size_t n = matchLength(*it, at, std::min<size_t>(left, minimum + 254));
                if (n >= minimum && n > bestLength + 1) {
                    bestLength = n;
                    bestRaw = raw;
                    bestSlot = -1;
                }
            }
        }
        AceToken token;
        size_t step = 1;
        if (bestLength == 0) {
            token.symbol = static_cast<uint8_t>(all[at]);
        } else if (bestSlot >= 0) {
            token.symbol = ace::kRepeatBase + static_cast<unsigned>(bestSlot);
            token.lengthSymbol = static_cast<int>(bestLength) - (bestSlot > 1 ? 3 : 2);
            const size_t index = 3 - static_cast<size_t>(bestSlot);
            std::rotate(recent.begin() + static_cast<ptrdiff_t>(index),
                        recent.begin() + static_cast<ptrdiff_t>(index) + 1, recent.end());
            step = bestLength;
        } else {
            unsigned width = 0;
            while (width < 32 && (bestRaw >> width) != 0)
                ++width;
            token.symbol = ace::kDistanceBase + width;
            token.distanceWidth = width < 2 ? 0 : width - 1;
            token.distanceBits = width < 2 ? 0 : bestRaw - (uint32_t(1) << (width - 1));
            token.lengthSymbol =
                static_cast<int>(bestLength) - (bestRaw <= ace::kMaxDistanceAtLength2   ? 2
                                                : bestRaw <= ace::kMaxDistanceAtLength3 ? 3
                                                                                        : 4);
            std::rotate(recent.begin(), recent.begin() + 1, recent.end());
            recent.back() = bestRaw;
            step = bestLength;
        }
        tokens.push_back(token);
        for (size_t i = 0; i < step; ++i)
            remember(at + i);
        at += step;
    }
    return tokens;
}

inline std::string AceCompress(std::string_view history, std::string_view data,
                               unsigned dictionaryBits, size_t symbolsPerBlock) {
    const std::vector<AceToken> tokens = AceTokens(history, data, dictionaryBits);
    AceBitWriter out;
    for (size_t first = 0; first < tokens.size(); first += symbolsPerBlock) {
        const size_t last = std::min(tokens.size(), first + symbolsPerBlock);
        std::vector<uint32_t> mainCounts(ace::kMainSymbols, 0);
        std::vector<uint32_t> lengthCounts(ace::kLengthSymbols, 0);
        for (size_t i = first; i < last; ++i) {
            ++mainCounts[tokens[i].symbol];
            if (tokens[i].lengthSymbol >= 0)
                ++lengthCounts[static_cast<size_t>(tokens[i].lengthSymbol)];
        }
        ace::HuffmanTable mainTable;
        ace::HuffmanTable lengthTable;
        const std::vector<uint32_t> mainCodes = WriteAceTable(
            out, AceCodeWidths(mainCounts, ace::kMaxCodeWidth), ace::kMaxCodeWidth, mainTable);
        const std::vector<uint32_t> lengthCodes = WriteAceTable(
            out, AceCodeWidths(lengthCounts, ace::kMaxCodeWidth), ace::kMaxCodeWidth, lengthTable);
        out.put(static_cast<uint32_t>(last - first), ace::kSymbolCountBits);
        for (size_t i = first; i < last; ++i) {
            const AceToken& t = tokens[i];
            out.put(mainCodes[t.symbol], mainTable.widths[t.symbol]);
            out.put(t.distanceBits, t.distanceWidth);
            if (t.lengthSymbol >= 0)
                out.put(lengthCodes[static_cast<size_t>(t.lengthSymbol)],
                        lengthTable.widths[static_cast<size_t>(t.lengthSymbol)]);
        }
    }
    return out.finish();
}

// A comment: one table, literals, and copies from where the sum of the last two bytes
// was last seen, as the decoder looks for them.
inline std::string AceCompressComment(std::string_view text) {
    std::vector<unsigned> symbols;
    std::array<size_t, 511> seen{};
    for (size_t at = 0; at < text.size();) {
        size_t from = 0;
        if (at > 1) {
            const size_t sum =
                static_cast<uint8_t>(text[at - 1]) + static_cast<uint8_t>(text[at - 2]);
            from = seen[sum];
            seen[sum] = at;
        }
        size_t n = 0;
        while (at > 0 && n < 29 && at + n < text.size() && text[from + n] == text[at + n])
            ++n;
        if (n >= 2) {
            symbols.push_back(ace::kRepeatBase + static_cast<unsigned>(n) - 2);
            at += n;
        } else {
            symbols.push_back(static_cast<uint8_t>(text[at]));
            ++at;
        }
    }
    std::vector<uint32_t> counts(ace::kMainSymbols, 0);
    for (unsigned s : symbols)
        ++counts[s];
    AceBitWriter out;
    out.put(static_cast<uint32_t>(text.size()), ace::kSymbolCountBits);
    ace::HuffmanTable table;
    const std::vector<uint32_t> codes =
        WriteAceTable(out, AceCodeWidths(counts, ace::kMaxCodeWidth), ace::kMaxCodeWidth, table);
    for (unsigned s : symbols)
        out.put(codes[s], table.widths[s]);
    return out.finish();
}

inline void PutAceLe(std::string& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// CRC16, size, then the body (which starts with the type).
inline std::string AceHeader(const std::string& body) {
    std::string header;
    PutAceLe(header, ace::Crc16(body), 2);
    PutAceLe(header, body.size(), 2);
    return header + body;
}

inline std::string BuildAce(const AceArchive& archive) {
    std::string main;
    main += static_cast<char>(ace::kMainHeader);
    PutAceLe(main,
             (archive.comment.empty() ? 0 : ace::kFlagComment) |
                 (archive.solid ? ace::kFlagSolid : 0) |
                 (archive.advertByte ? ace::kFlagAdvert : 0),
             2);
    main += ace::kSignature;
    main += static_cast<char>(10); // version to extract: 1.0
    main += static_cast<char>(10); // made by 1.0
    main += static_cast<char>(0);  // host: MS-DOS
    main += static_cast<char>(0);  // volume
    PutAceLe(main, 0x5A210000, 4); // 2025-01-01 as a DOS time
    main += std::string(8, '\0');
    if (archive.advertByte)
        main += '\0'; // the size of an empty advert
    if (!archive.comment.empty()) {
        const std::string packed = AceCompressComment(archive.comment);
        PutAceLe(main, packed.size(), 2);
        main += packed;
    }
    std::string out = archive.stub + AceHeader(main);
    std::string history; // what a solid archive's dictionary holds
    for (const AceMember& member : archive.members) {
        std::string packed = member.data;
        uint8_t method = ace::kStored;
        if (member.method == AceMethod::Lz77) {
            packed = AceCompress(archive.solid ? history : std::string_view(), member.data,
                                 archive.dictionaryBits, archive.symbolsPerBlock);
            method = ace::kLz77;
        } else if (member.method == AceMethod::Ace20) {
            method = ace::kBlocked;
        }
        std::string file;
        file += static_cast<char>(ace::kFileHeader32);
        PutAceLe(file,
                 (archive.solid ? ace::kFlagSolid : 0) | archive.fileFlags | member.extraFlags, 2);
        PutAceLe(file, packed.size(), 4);
        PutAceLe(file, member.data.size(), 4);
        PutAceLe(file, 0x5A210000, 4);
        PutAceLe(file, 0x20, 4); // attributes: archive
        PutAceLe(file, ace::Crc32(member.data), 4);
        file += static_cast<char>(method);
        file += static_cast<char>(method == ace::kStored ? 0 : 3); // quality: normal
        PutAceLe(file, archive.dictionaryBits - ace::kMinDictionaryBits, 2);
        PutAceLe(file, 0, 2);
        PutAceLe(file, member.name.size(), 2);
        file += member.name;
        out += AceHeader(file) + packed;
        history += member.data;
    }
    return out;
}

} // namespace tressel::test
