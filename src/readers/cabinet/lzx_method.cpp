// LZX folders: an LZ77 window of 2^15 to 2^21 bytes whose matches and literals are
// Huffman-coded in verbatim, aligned-offset and uncompressed blocks; blocks run on
// across the folder's 32 KiB frames, each frame's input starting on a fresh bit reader.
// After decoding, a frame may have its E8 (call) targets turned back from absolute to
// relative addresses.
//
// Every table is checked as it is built (an over-subscribed or incomplete code is bad
// data), every match against what has been decoded and against the frame's end, and
// every read against the input; bad data fails the block, never reads or writes out of
// range.

#include "readers/cabinet/cab_method.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace tressel::cab {
namespace {

constexpr unsigned kMinWindowBits = 15;
constexpr unsigned kMaxWindowBits = 21;
constexpr unsigned kPretreeSymbols = 20;
constexpr unsigned kLengthSymbols = 249;
constexpr unsigned kAlignedSymbols = 8;
constexpr unsigned kMaxPositionSlots = 50;
constexpr unsigned kMaxMainSymbols = 256 + 8 * kMaxPositionSlots;
constexpr unsigned kMaxCodeLength = 16;
constexpr unsigned kMinMatch = 2;
constexpr unsigned kLiterals = 256;
// E8 translation stops after this many frames.
constexpr uint32_t kTranslatedFrames = 32768;
// Input may be read this far past its end (as zero bits) before the data counts as bad:
// a block's last code can end in the final word.
constexpr size_t kMaxOverrun = 8;

enum BlockType : unsigned { kNoBlock = 0, kVerbatim = 1, kAligned = 2, kUncompressed = 3 };

struct SlotTable {
    uint32_t base[kMaxPositionSlots];
    uint8_t extra[kMaxPositionSlots];
};

constexpr SlotTable MakeSlotTable() {
    SlotTable table{};
    uint32_t base = 0;
    for (unsigned slot = 0; slot < kMaxPositionSlots; ++slot) {
        table.extra[slot] = uint8_t(slot < 4 ? 0 : std::min(17u, (slot - 2) / 2));
        table.base[slot] = base;
        base += 1u << table.extra[slot];
    }
    return table;
}
constexpr SlotTable kSlots = MakeSlotTable();

unsigned PositionSlots(unsigned windowBits) {
    return windowBits == 21 ? 50 : windowBits == 20 ? 42 : windowBits * 2;
}

// 16-bit little-endian words, each read from its most significant bit.
class BitReader {
public:
    BitReader(const uint8_t* in, size_t size) : m_in(in), m_size(size) {}

    uint32_t peek(unsigned count) {
        fill();
        return uint32_t(m_bits >> (64 - count));
    }
    void skip(unsigned count) {
        m_bits <<= count;
        m_count -= count;
    }
    uint32_t read(unsigned count) {
        if (count == 0)
            return 0;
        const uint32_t value = peek(count);
        skip(count);
        return value;
    }
    bool overrun() const { return m_pos > m_size + kMaxOverrun; }

    // Leaves the bit stream for bytes: the rest of the current word, or a whole word
    // when none of it has been read, is padding.
    void alignToBytes() {
        size_t consumed = m_pos * 8 - m_count;
        consumed = (consumed | 15) + 1;
        m_pos = consumed / 8;
        m_bits = 0;
        m_count = 0;
    }
    // In byte mode only (right after alignToBytes or a fresh start).
    bool readBytes(uint8_t* out, size_t count) {
        if (m_count != 0 || m_pos > m_size || m_size - m_pos < count)
            return false;
        std::memcpy(out, m_in + m_pos, count);
        m_pos += count;
        return true;
    }
    bool atByteBoundary() const { return m_count == 0; }
    size_t bytesLeft() const { return m_pos < m_size ? m_size - m_pos : 0; }

private:
    void fill() {
        while (m_count <= 48) {
            uint32_t word = 0;
            if (m_pos + 1 < m_size)
                word = uint32_t(m_in[m_pos]) | uint32_t(m_in[m_pos + 1]) << 8;
            else if (m_pos < m_size)
                word = m_in[m_pos];
            m_pos += 2;
            m_bits |= uint64_t(word) << (48 - m_count);
            m_count += 16;
        }
    }

    const uint8_t* m_in;
    size_t m_size;
    size_t m_pos = 0; // next byte to load into the buffer
    uint64_t m_bits = 0;
    unsigned m_count = 0;
};

// A canonical Huffman code: codes up to TableBits long are found with one look-up,
// longer ones by walking the code lengths.
template <unsigned Symbols, unsigned TableBits> class HuffmanCode {
public:
    std::array<uint8_t, Symbols> lengths{};

    // false for an over-subscribed or incomplete code; a code without symbols is
    // accepted (a block need not use every tree) but decodes nothing.
    bool build(unsigned symbols) {
        m_symbols = symbols;
        std::fill(std::begin(m_counts), std::end(m_counts), 0);
        for (unsigned s = 0; s < symbols; ++s)
            ++m_counts[lengths[s]];
        m_counts[0] = 0;
        int left = 1;
        for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
            left = left * 2 - m_counts[length];
            if (left < 0)
                return false;
        }
        m_empty = left == 1 << kMaxCodeLength;
        if (left != 0 && !m_empty)
            return false;

        uint16_t offsets[kMaxCodeLength + 2] = {};
        for (unsigned length = 1; length <= kMaxCodeLength; ++length)
            offsets[length + 1] = uint16_t(offsets[length] + m_counts[length]);
        for (unsigned s = 0; s < symbols; ++s)
            if (lengths[s])
                m_sorted[offsets[lengths[s]]++] = uint16_t(s);

        std::fill(std::begin(m_table), std::end(m_table), 0);
        uint32_t code = 0;
        unsigned index = 0;
        for (unsigned length = 1; length <= TableBits; ++length) {
            for (unsigned i = 0; i < m_counts[length]; ++i, ++code, ++index) {
                const uint32_t first = code << (TableBits - length);
                const uint16_t entry = uint16_t(m_sorted[index] << 5 | length);
                std::fill(m_table + first, m_table + first + (1u << (TableBits - length)), entry);
            }
            code <<= 1;
        }
        return true;
    }

    // The next symbol, or -1 when the code has none.
    int decode(BitReader& bits) const {
        if (m_empty)
            return -1;
        const uint16_t entry = m_table[bits.peek(TableBits)];
        if (entry & 31) {
            bits.skip(entry & 31);
            return entry >> 5;
        }
        const uint32_t window = bits.peek(kMaxCodeLength);
        uint32_t code = 0, first = 0, index = 0;
        for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
            code |= (window >> (kMaxCodeLength - length)) & 1;
            const uint32_t count = m_counts[length];
            if (code - first < count) {
                bits.skip(length);
                return m_sorted[index + code - first];
            }
            index += count;
            first = (first + count) << 1;
            code <<= 1;
        }
        return -1;
    }

private:
    unsigned m_symbols = 0;
    bool m_empty = true;
    uint16_t m_counts[kMaxCodeLength + 1] = {};
    uint16_t m_sorted[Symbols] = {};
    uint16_t m_table[1u << TableBits] = {};
};

using Pretree = HuffmanCode<kPretreeSymbols, 8>;
using MainTree = HuffmanCode<kMaxMainSymbols, 11>;
using LengthTree = HuffmanCode<kLengthSymbols, 10>;
using AlignedTree = HuffmanCode<kAlignedSymbols, 7>;

class LzxMethod final : public Method {
public:
    LzxMethod(const Memory& memory, unsigned windowBits)
        : m_memory(memory), m_windowSize(1u << windowBits), m_mask(m_windowSize - 1),
          m_mainSymbols(kLiterals + 8 * PositionSlots(windowBits)) {}
    ~LzxMethod() override { m_memory.release(m_window); }
    LzxMethod(const LzxMethod&) = delete;
    LzxMethod& operator=(const LzxMethod&) = delete;

    bool init() {
        m_window = static_cast<uint8_t*>(m_memory.allocate(m_windowSize));
        reset();
        return m_window != nullptr;
    }

    void reset() override {
        m_repeated[0] = m_repeated[1] = m_repeated[2] = 1;
        m_headerRead = false;
        m_translationSize = 0;
        m_blockType = kNoBlock;
        m_blockRemaining = 0;
        m_padPending = false;
        m_position = 0;
        m_total = 0;
        m_frames = 0;
        m_main.lengths.fill(0);
        m_length.lengths.fill(0);
    }

    bool decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override {
        BitReader bits(in, inSize);
        if (!m_headerRead) {
            if (bits.read(1)) {
                const uint32_t high = bits.read(16);
                m_translationSize = int32_t(high << 16 | bits.read(16));
            }
            m_headerRead = true;
        }
        const uint32_t frameStart = m_position;
        const uint64_t frameOffset = m_total;
        uint32_t produced = 0;
        while (produced < outSize) {
            if (m_blockRemaining == 0 && !readBlockHeader(bits))
                return false;
            const uint32_t run = std::min<uint32_t>(m_blockRemaining, uint32_t(outSize) - produced);
            const bool decoded =
                m_blockType == kUncompressed ? copyStored(bits, run) : decodeSymbols(bits, run);
            if (!decoded || bits.overrun())
                return false;
            produced += run;
            m_blockRemaining -= run;
            if (m_blockRemaining == 0 && m_blockType == kUncompressed)
                m_padPending = m_blockSize & 1;
        }
        // An odd stored block's padding byte may close this frame's input.
        if (m_padPending && bits.atByteBoundary() && bits.bytesLeft() == 1) {
            uint8_t pad;
            bits.readBytes(&pad, 1);
            m_padPending = false;
        }
        copyOut(frameStart, out, outSize);
        if (m_translationSize && m_frames < kTranslatedFrames && outSize > 10)
            undoCallTranslation(out, outSize, frameOffset);
        ++m_frames;
        return true;
    }

private:
    bool readBlockHeader(BitReader& bits) {
        if (m_padPending) {
            uint8_t pad;
            if (!bits.readBytes(&pad, 1))
                return false;
            m_padPending = false;
        }
        m_blockType = bits.read(3);
        m_blockSize = bits.read(24);
        m_blockRemaining = m_blockSize;
        switch (m_blockType) {
        case kAligned:
            for (unsigned i = 0; i < kAlignedSymbols; ++i)
                m_aligned.lengths[i] = uint8_t(bits.read(3));
            if (!m_aligned.build(kAlignedSymbols))
                return false;
            [[fallthrough]];
        case kVerbatim:
            return readLengths(bits, m_main.lengths.data(), 0, kLiterals) &&
                   readLengths(bits, m_main.lengths.data(), kLiterals, m_mainSymbols) &&
                   m_main.build(m_mainSymbols) &&
                   readLengths(bits, m_length.lengths.data(), 0, kLengthSymbols) &&
                   m_length.build(kLengthSymbols) && !bits.overrun();
        case kUncompressed: {
            bits.alignToBytes();
            uint8_t repeated[12];
            if (!bits.readBytes(repeated, sizeof repeated))
                return false;
            for (int i = 0; i < 3; ++i)
                m_repeated[i] = uint32_t(repeated[4 * i]) | uint32_t(repeated[4 * i + 1]) << 8 |
                                uint32_t(repeated[4 * i + 2]) << 16 |
                                uint32_t(repeated[4 * i + 3]) << 24;
            return true;
        }
        default:
            return false;
        }
    }

    // Code lengths [first, last) as changes to the previous block's, through a pretree.
    bool readLengths(BitReader& bits, uint8_t* lengths, unsigned first, unsigned last) {
        for (unsigned i = 0; i < kPretreeSymbols; ++i)
            m_pretree.lengths[i] = uint8_t(bits.read(4));
        if (!m_pretree.build(kPretreeSymbols))
            return false;
        for (unsigned i = first; i < last;) {
            const int code = m_pretree.decode(bits);
            unsigned run = 1;
            uint8_t length = 0;
            if (code < 0 || bits.overrun()) {
                return false;
            } else if (code == 17) {
                run = bits.read(4) + 4;
            } else if (code == 18) {
                run = bits.read(5) + 20;
            } else if (code == 19) {
                run = bits.read(1) + 4;
                const int same = m_pretree.decode(bits);
                if (same < 0 || same > 16)
                    return false;
                length = uint8_t((lengths[i] + 17 - same) % 17);
            } else {
                length = uint8_t((lengths[i] + 17 - code) % 17);
            }
            if (run > last - i)
                return false;
            std::fill(lengths + i, lengths + i + run, length);
            i += run;
        }
        return true;
    }

    bool copyStored(BitReader& bits, uint32_t count) {
        while (count > 0) {
            const uint32_t chunk = std::min(count, m_windowSize - m_position);
            if (!bits.readBytes(m_window + m_position, chunk))
                return false;
            m_position = (m_position + chunk) & m_mask;
            m_total += chunk;
            count -= chunk;
        }
        return true;
    }

    bool decodeSymbols(BitReader& bits, uint32_t count) {
        const bool aligned = m_blockType == kAligned;
        while (count > 0) {
            const int symbol = m_main.decode(bits);
            if (symbol < 0)
                return false;
            if (symbol < int(kLiterals)) {
                m_window[m_position] = uint8_t(symbol);
                m_position = (m_position + 1) & m_mask;
                ++m_total;
                --count;
                continue;
            }
            const unsigned header = unsigned(symbol - kLiterals) & 7;
            const unsigned slot = unsigned(symbol - kLiterals) >> 3;
            uint32_t length = header + kMinMatch;
            if (header == 7) {
                const int extra = m_length.decode(bits);
                if (extra < 0)
                    return false;
                length += uint32_t(extra);
            }
            const uint32_t offset = matchOffset(bits, slot, aligned);
            if (offset == 0 || length > count || offset > m_windowSize || offset > m_total ||
                bits.overrun())
                return false;
            copyMatch(offset, length);
            count -= length;
        }
        return true;
    }

    // The slot's offset, with the repeated-offset queue kept up to date; 0 when bad.
    uint32_t matchOffset(BitReader& bits, unsigned slot, bool aligned) {
        if (slot < 3) {
            const uint32_t offset = m_repeated[slot];
            m_repeated[slot] = m_repeated[0];
            m_repeated[0] = offset;
            return offset;
        }
        const unsigned extra = kSlots.extra[slot];
        uint32_t offset = kSlots.base[slot] - 2;
        if (aligned && extra >= 3) {
            offset += bits.read(extra - 3) << 3;
            const int low = m_aligned.decode(bits);
            if (low < 0)
                return 0;
            offset += uint32_t(low);
        } else {
            offset += bits.read(extra);
        }
        m_repeated[2] = m_repeated[1];
        m_repeated[1] = m_repeated[0];
        m_repeated[0] = offset;
        return offset;
    }

    // Matches are short: copied in 8-byte steps where source and target neither wrap
    // nor overlap within a step, byte by byte otherwise.
    void copyMatch(uint32_t offset, uint32_t length) {
        uint32_t from = (m_position - offset) & m_mask;
        if (from + length <= m_windowSize && m_position + length <= m_windowSize) {
            uint8_t* to = m_window + m_position;
            const uint8_t* source = m_window + from;
            uint32_t i = 0;
            if (offset >= 8)
                for (; i + 8 <= length; i += 8)
                    std::memcpy(to + i, source + i, 8);
            for (; i < length; ++i)
                to[i] = source[i];
            m_position = (m_position + length) & m_mask;
        } else {
            for (uint32_t i = 0; i < length; ++i) {
                m_window[m_position] = m_window[from];
                m_position = (m_position + 1) & m_mask;
                from = (from + 1) & m_mask;
            }
        }
        m_total += length;
    }

    void copyOut(uint32_t start, uint8_t* out, size_t size) const {
        const size_t first = std::min<size_t>(size, m_windowSize - start);
        std::memcpy(out, m_window + start, first);
        std::memcpy(out + first, m_window, size - first);
    }

    // The encoder turned the targets of E8 calls into absolute addresses; turn them back.
    void undoCallTranslation(uint8_t* out, size_t size, uint64_t frameOffset) const {
        const int64_t fileSize = m_translationSize;
        for (size_t i = 0; i + 10 < size; ++i) {
            if (out[i] != 0xE8)
                continue;
            const int64_t position = int64_t(frameOffset + i);
            uint8_t* target = out + i + 1;
            const int32_t absolute = int32_t(uint32_t(target[0]) | uint32_t(target[1]) << 8 |
                                             uint32_t(target[2]) << 16 | uint32_t(target[3]) << 24);
            if (absolute >= -position && absolute < fileSize) {
                const int64_t relative =
                    absolute >= 0 ? absolute - position : int64_t(absolute) + fileSize;
                const uint32_t value = uint32_t(int32_t(relative));
                for (int b = 0; b < 4; ++b)
                    target[b] = uint8_t(value >> (8 * b));
            }
            i += 4;
        }
    }

    Memory m_memory;
    uint8_t* m_window = nullptr;
    uint32_t m_windowSize;
    uint32_t m_mask;
    unsigned m_mainSymbols;

    uint32_t m_repeated[3] = {1, 1, 1};
    bool m_headerRead = false;
    int32_t m_translationSize = 0;
    unsigned m_blockType = kNoBlock;
    uint32_t m_blockSize = 0;
    uint32_t m_blockRemaining = 0;
    bool m_padPending = false;
    uint32_t m_position = 0; // in the window
    uint64_t m_total = 0;    // bytes decoded since the folder began
    uint32_t m_frames = 0;

    Pretree m_pretree;
    MainTree m_main;
    LengthTree m_length;
    AlignedTree m_aligned;
};

} // namespace

MethodResult CreateLzxMethod(const Memory& memory, unsigned windowBits) {
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits)
        return {nullptr, kCabDecompressFailed};
    auto* method = memory.make<LzxMethod>(memory, windowBits);
    if (!method || !method->init()) {
        memory.destroy(method);
        return {nullptr, kCabOutOfMemory};
    }
    return {method, kCabOk};
}

} // namespace tressel::cab
