#pragma once

// The pieces of ACE 1.0 LZ77: the bit stream (32-bit little-endian words read from
// their most significant bit), the Huffman tables rebuilt from code widths, and the
// decoder with its dictionary. The test encoder builds its codes with the same table
// builder, so both sides agree on which code a symbol gets.

#include "platform/ace/ace_archive.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tressel::ace {

inline constexpr unsigned kMaxCodeWidth = 11;
inline constexpr unsigned kWidthCodeWidth = 7;
inline constexpr unsigned kWidthWidthBits = 3;
inline constexpr unsigned kMinDictionaryBits = 10;
inline constexpr unsigned kMaxDictionaryBits = 22;
// Main symbols: 0-255 literals, 256-259 a copy at one of the last four distances,
// 260-282 a copy at a new distance of 0 to 22 bits, 283 a mode switch (ACE 2.0 only).
inline constexpr unsigned kRepeatBase = 256;
inline constexpr unsigned kDistanceBase = 260;
inline constexpr unsigned kTypeCode = kDistanceBase + kMaxDictionaryBits + 1;
inline constexpr unsigned kMainSymbols = kTypeCode + 1;
inline constexpr unsigned kLengthSymbols = 255;
inline constexpr unsigned kMaxDistanceAtLength2 = 255;
inline constexpr unsigned kMaxDistanceAtLength3 = 8191;
inline constexpr unsigned kSymbolCountBits = 15;
inline constexpr size_t kMaxWidths = kMainSymbols + 1;

// The bits of a region of a source. Reading up to 32 bits past the region gives zero
// bits, as the format pads its streams; anything beyond that marks the stream as
// overrun.
class BitReader {
public:
    BitReader(ByteSource& source, uint64_t at, uint64_t size);
    explicit BitReader(std::string_view bytes);
    BitReader(const BitReader&) = delete;
    BitReader& operator=(const BitReader&) = delete;

    uint32_t peek(unsigned bits); // bits <= 32
    void skip(unsigned bits);
    uint32_t read(unsigned bits) {
        const uint32_t value = peek(bits);
        skip(bits);
        return value;
    }
    bool overrun() const { return m_position > m_limit; }

private:
    uint64_t word(uint64_t index);

    ByteSource* m_source = nullptr;
    MemorySource m_memory{std::string_view()};
    uint64_t m_at = 0;
    uint64_t m_size = 0;
    uint64_t m_position = 0; // in bits
    uint64_t m_limit = 0;    // in bits: the padded end
    std::string m_buffer;
    uint64_t m_bufferWord = 0; // the first word the buffer holds
};

inline constexpr uint16_t kNoSymbol = 0xFFFF;

// A code table: peek maxWidth bits, look the symbol up, skip its width.
struct HuffmanTable {
    unsigned maxWidth = 0;
    std::array<uint16_t, size_t(1) << kMaxCodeWidth> symbols{};
    std::array<uint8_t, kMaxWidths> widths{};
    size_t count = 0;
};

// Rebuilds the codes from the widths as the format assigns them: symbols ordered by
// width, longest first, by the format's own (unstable) quicksort, then short codes
// handed out first. False when a width exceeds maxWidth or the codes overflow.
bool BuildHuffmanTable(const uint8_t* widths, size_t count, unsigned maxWidth, HuffmanTable& table);
// The table's code of each symbol (MSB first, table.widths[s] bits); 0 for unused.
std::vector<uint32_t> HuffmanCodes(const HuffmanTable& table);

bool ReadHuffmanTable(BitReader& bits, unsigned maxWidth, size_t symbolCount, HuffmanTable& table);
// The next symbol, or -1 at a code the table does not hold.
int ReadSymbol(BitReader& bits, const HuffmanTable& table);

// The LZ77 decoder. Its dictionary outlives a member, so that a solid archive's
// members continue one another; the code tables and the distance history start
// afresh with every member.
class Lz77Decoder {
public:
    explicit Lz77Decoder(unsigned dictionaryBits);

    // Forgets everything, the dictionary included.
    void reset();
    // Unpacks size bytes from bits, handing them to sink (when given) and into crc.
    Status decode(BitReader& bits, uint64_t size, const Sink* sink, uint32_t& crc);
    // Bytes that another method produced enter the dictionary.
    void append(const uint8_t* data, size_t size);

private:
    struct Block {
        HuffmanTable main;
        HuffmanTable lengths;
        int64_t symbolsLeft = 0;
    };
    bool put(uint8_t byte, const Sink* sink, uint32_t& crc);
    bool flush(const Sink* sink, uint32_t& crc);
    uint32_t takeDistance(unsigned slot);
    void pushDistance(uint32_t distance);

    std::vector<uint8_t> m_window;
    uint64_t m_mask = 0;
    uint64_t m_position = 0;               // bytes produced since the reset
    std::array<uint32_t, 4> m_distances{}; // the most recent last
    std::vector<uint8_t> m_pending;        // produced, not yet handed on
    std::unique_ptr<Block> m_block;
};

} // namespace tressel::ace
