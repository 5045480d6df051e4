#pragma once

// A Quantum compressor for tests and benchmarks, written from the format description
// independently of the decoder: greedy matches found through hash chains, sent through
// an arithmetic coder with the format's adaptive models. Each 32 KiB block is one frame
// with a fresh coder; models and window run on through the folder. Its output is also
// checked by cabextract, so a misreading shared by encoder and decoder shows up there.

#include "cab_builder.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tressel::test::quantum {

inline constexpr uint32_t kFrameSize = 32768;
inline constexpr uint32_t kMaxFrameBytes = 32768 + 10240; // the engine's input buffer
inline constexpr uint32_t kMaxLength = 259;

inline uint16_t QuantumType(unsigned windowBits) {
    return uint16_t(2 | windowBits << 8);
}

// A literal (length 0) or a match.
struct Token {
    uint32_t length = 0;
    uint32_t distance = 0;
    uint8_t literal = 0;
};

inline Token Literal(uint8_t byte) {
    return {0, 0, byte};
}
inline Token Copy(uint32_t length, uint32_t distance) {
    return {length, distance, 0};
}

// A slot value = base + extra bits.
struct Slot {
    unsigned index;
    uint32_t base;
    unsigned extraBits;
};

// Position slots: 0-3 alone, then pairs 2^k and 3 * 2^(k-1) with k - 1 extra bits.
inline Slot PositionSlot(unsigned index) {
    if (index < 4)
        return {index, index, 0};
    const unsigned k = index / 2;
    return {index, index % 2 ? 3u << (k - 1) : 1u << k, k - 1};
}

// Length slots (length - 5): 0-5 alone, then five groups of four with 1 to 5 extra
// bits, then 254 alone.
inline Slot LengthSlot(unsigned index) {
    if (index < 6)
        return {index, index, 0};
    if (index == 26)
        return {index, 254, 0};
    uint32_t base = 6;
    unsigned bits = 1;
    for (unsigned group = (index - 6) / 4; group > 0; --group, ++bits)
        base += 4u << bits;
    return {index, base + ((index - 6) % 4) * (1u << bits), bits};
}

inline Slot SlotFor(uint32_t value, unsigned slots, Slot (*slot)(unsigned)) {
    for (unsigned i = slots; i-- > 0;) {
        const Slot s = slot(i);
        if (value >= s.base) {
            if (value - s.base >= (1u << s.extraBits))
                throw std::invalid_argument("value beyond the last slot");
            return s;
        }
    }
    throw std::invalid_argument("no slot");
}

class Model {
public:
    Model(unsigned first, unsigned count) : m_left(4), m_cumulative(count + 1), m_symbols(count) {
        for (unsigned i = 0; i <= count; ++i)
            m_cumulative[i] = count - i;
        for (unsigned i = 0; i < count; ++i)
            m_symbols[i] = first + i;
    }

    unsigned size() const { return unsigned(m_symbols.size()); }
    unsigned total() const { return m_cumulative[0]; }
    unsigned indexOf(unsigned symbol) const {
        const auto at = std::find(m_symbols.begin(), m_symbols.end(), symbol);
        if (at == m_symbols.end())
            throw std::invalid_argument("symbol outside the model");
        return unsigned(at - m_symbols.begin());
    }
    unsigned above(unsigned index) const { return m_cumulative[index]; }
    unsigned below(unsigned index) const { return m_cumulative[index + 1]; }

    void count(unsigned index) {
        for (unsigned i = 0; i <= index; ++i)
            m_cumulative[i] += 8;
        if (m_cumulative[0] > 3800)
            rescale();
    }

private:
    void rescale() {
        const unsigned n = size();
        if (--m_left != 0) {
            for (unsigned i = n; i-- > 0;)
                m_cumulative[i] = std::max(m_cumulative[i] / 2, m_cumulative[i + 1] + 1);
            return;
        }
        m_left = 50;
        std::vector<unsigned> frequency(n);
        for (unsigned i = 0; i < n; ++i)
            frequency[i] = (m_cumulative[i] - m_cumulative[i + 1] + 1) / 2;
        for (unsigned i = 0; i < n; ++i)
            for (unsigned j = i + 1; j < n; ++j)
                if (frequency[i] < frequency[j]) {
                    std::swap(frequency[i], frequency[j]);
                    std::swap(m_symbols[i], m_symbols[j]);
                }
        for (unsigned i = n; i-- > 0;)
            m_cumulative[i] = m_cumulative[i + 1] + frequency[i];
    }

    unsigned m_left;
    std::vector<unsigned> m_cumulative;
    std::vector<unsigned> m_symbols;
};

// One frame's bits: the arithmetic code, and raw fields that the decoder reads once it
// has taken `codeBits` bits of the code into its 16-bit register.
class FrameBits {
public:
    void code(unsigned bit) { m_code.push_back(uint8_t(bit)); }
    void raw(size_t codeBits, uint32_t value, unsigned bits) {
        m_raw.push_back({codeBits, value, bits});
    }

    std::string bytes(size_t codeBitsRead) {
        m_code.resize(std::max(m_code.size(), codeBitsRead), 0);
        std::string out;
        unsigned pending = 0, filled = 0;
        auto put = [&](unsigned bit) {
            pending = pending << 1 | bit;
            if (++filled == 8) {
                out += char(pending);
                pending = filled = 0;
            }
        };
        size_t next = 0;
        for (size_t i = 0; i <= m_code.size(); ++i) {
            for (; next < m_raw.size() && m_raw[next].at == i; ++next)
                for (unsigned b = m_raw[next].bits; b-- > 0;)
                    put((m_raw[next].value >> b) & 1);
            if (i < m_code.size())
                put(m_code[i]);
        }
        while (filled)
            put(0);
        return out;
    }

private:
    struct Raw {
        size_t at;
        uint32_t value;
        unsigned bits;
    };
    std::vector<uint8_t> m_code;
    std::vector<Raw> m_raw;
};

class Encoder {
public:
    explicit Encoder(unsigned windowBits)
        : m_literals{{0, 64}, {64, 64}, {128, 64}, {192, 64}},
          m_short(0, std::min(2 * windowBits, 24u)), m_medium(0, std::min(2 * windowBits, 36u)),
          m_long(0, 2 * windowBits), m_lengths(0, 27), m_selector(0, 7) {}

    // The largest distance a match of this length can be sent with.
    uint32_t reach(uint32_t length) const {
        const Model& positions = length == 3 ? m_short : length == 4 ? m_medium : m_long;
        const Slot last = PositionSlot(positions.size() - 1);
        return last.base + (1u << last.extraBits);
    }

    std::string frame(const std::vector<Token>& tokens) {
        FrameBits bits;
        m_bits = &bits;
        m_low = 0;
        m_high = 0xFFFF;
        m_underflow = 0;
        m_shifts = 0;
        for (const Token& token : tokens)
            put(token);
        // Two more bits pick a value inside the final interval; zeros follow.
        ++m_underflow;
        emit(m_low >= 0x4000);
        return bits.bytes(m_shifts + 16);
    }

private:
    void put(const Token& token) {
        if (token.length == 0) {
            encode(m_selector, token.literal >> 6);
            encode(m_literals[token.literal >> 6], token.literal);
        } else if (token.length == 3) {
            encode(m_selector, 4);
            position(m_short, token.distance);
        } else if (token.length == 4) {
            encode(m_selector, 5);
            position(m_medium, token.distance);
        } else {
            encode(m_selector, 6);
            const Slot slot = SlotFor(token.length - 5, 27, LengthSlot);
            encode(m_lengths, slot.index);
            raw(token.length - 5 - slot.base, slot.extraBits);
            position(m_long, token.distance);
        }
    }

    void position(Model& model, uint32_t distance) {
        const Slot slot = SlotFor(distance - 1, model.size(), PositionSlot);
        encode(model, slot.index);
        raw(distance - 1 - slot.base, slot.extraBits);
    }

    void raw(uint32_t value, unsigned bits) {
        if (bits)
            m_bits->raw(m_shifts + 16, value, bits);
    }

    void encode(Model& model, unsigned symbol) {
        const unsigned index = model.indexOf(symbol);
        const uint32_t range = m_high - m_low + 1, total = model.total();
        m_high = m_low + model.above(index) * range / total - 1;
        m_low = m_low + model.below(index) * range / total;
        model.count(index);
        for (;; ++m_shifts) {
            if (m_high < 0x8000) {
                emit(0);
            } else if (m_low >= 0x8000) {
                emit(1);
                m_low -= 0x8000;
                m_high -= 0x8000;
            } else if (m_low >= 0x4000 && m_high < 0xC000) {
                ++m_underflow;
                m_low -= 0x4000;
                m_high -= 0x4000;
            } else {
                break;
            }
            m_low = 2 * m_low;
            m_high = 2 * m_high + 1;
        }
    }

    void emit(unsigned bit) {
        m_bits->code(bit);
        for (; m_underflow > 0; --m_underflow)
            m_bits->code(!bit);
    }

    Model m_literals[4];
    Model m_short, m_medium, m_long, m_lengths, m_selector;
    FrameBits* m_bits = nullptr;
    uint32_t m_low = 0, m_high = 0xFFFF;
    unsigned m_underflow = 0;
    size_t m_shifts = 0;
};

// Greedy LZ77 parsing with hash chains over a whole folder; matches never reach back
// before the folder, further than the window, or across a frame's end.
class Matcher {
public:
    Matcher(std::string_view data, unsigned windowBits, const Encoder& encoder, unsigned depth)
        : m_data(data), m_window(1u << windowBits), m_depth(depth), m_head(1u << 16, kNone),
          m_previous(m_window, kNone) {
        for (uint32_t length = 3; length <= 5; ++length)
            m_reach[length - 3] = std::min(encoder.reach(length), m_window);
    }

    std::vector<Token> frame(size_t begin, size_t end) {
        std::vector<Token> tokens;
        for (size_t at = begin; at < end;) {
            const Token match = longest(at, end);
            const size_t step = match.length ? match.length : 1;
            tokens.push_back(match.length ? match : Literal(uint8_t(m_data[at])));
            for (size_t i = 0; i < step; ++i)
                insert(at + i);
            at += step;
        }
        return tokens;
    }

private:
    static constexpr uint32_t kNone = UINT32_MAX;

    uint32_t hash(size_t at) const {
        const auto* p = reinterpret_cast<const uint8_t*>(m_data.data() + at);
        return ((uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) * 2654435761u) >> 16;
    }

    void insert(size_t at) {
        if (at + 3 > m_data.size())
            return;
        const uint32_t h = hash(at);
        m_previous[at & (m_window - 1)] = m_head[h];
        m_head[h] = uint32_t(at);
    }

    Token longest(size_t at, size_t end) const {
        Token best;
        const size_t limit = std::min<size_t>(end - at, kMaxLength);
        if (limit < 3)
            return best;
        uint32_t candidate = m_head[hash(at)];
        for (unsigned tries = 0; candidate != kNone && tries < m_depth; ++tries) {
            const size_t distance = at - candidate;
            if (distance >= m_window)
                break;
            size_t length = 0;
            while (length < limit && m_data[candidate + length] == m_data[at + length])
                ++length;
            if (length >= 3 && length > best.length &&
                distance <= m_reach[std::min<size_t>(length, 5) - 3])
                best = Copy(uint32_t(length), uint32_t(distance));
            const uint32_t older = m_previous[candidate & (m_window - 1)];
            if (older == kNone || older >= candidate)
                break;
            candidate = older;
        }
        return best;
    }

    std::string_view m_data;
    uint32_t m_window;
    unsigned m_depth;
    uint32_t m_reach[3];
    std::vector<uint32_t> m_head;
    std::vector<uint32_t> m_previous;
};

// A folder's data as Quantum blocks of 32 KiB (the last one shorter).
inline std::vector<cab::Block> QuantumBlocks(std::string_view data, unsigned windowBits,
                                             unsigned depth = 16) {
    Encoder encoder(windowBits);
    Matcher matcher(data, windowBits, encoder, depth);
    std::vector<cab::Block> blocks;
    for (size_t at = 0; at < data.size(); at += kFrameSize) {
        const size_t end = std::min<size_t>(at + kFrameSize, data.size());
        std::string bytes = encoder.frame(matcher.frame(at, end));
        if (bytes.size() > kMaxFrameBytes)
            throw std::length_error("frame does not fit a data block");
        blocks.push_back({std::move(bytes), uint32_t(end - at)});
    }
    return blocks;
}

// Adds a Quantum folder holding these members one after another; returns its data.
inline std::string
AddQuantumFolder(cab::Cabinet& cab, unsigned windowBits,
                 const std::vector<std::pair<std::string, std::string>>& contents) {
    std::string data;
    for (const auto& [name, bytes] : contents) {
        cab.members.push_back(
            {name, uint32_t(bytes.size()), uint32_t(data.size()), uint16_t(cab.folders.size())});
        data += bytes;
    }
    cab.folders.push_back({QuantumType(windowBits), QuantumBlocks(data, windowBits)});
    return data;
}

} // namespace tressel::test::quantum
