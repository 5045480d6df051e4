#pragma once

// A small LZX encoder for tests and benchmarks: greedy matches from hash chains, the
// repeated-offset queue, verbatim, aligned-offset and uncompressed blocks, and E8 call
// translation. Its output is cut into the cabinet's 32 KiB frames, one data block each.

#include "cab_builder.h"

#include <algorithm>
#include <array>
#include <queue>
#include <vector>

namespace tressel::test::cab {

inline constexpr uint16_t LzxType(unsigned windowBits) {
    return uint16_t(3 | windowBits << 8);
}

enum class LzxBlock { Verbatim = 1, Aligned = 2, Uncompressed = 3 };

struct LzxOptions {
    unsigned windowBits = 16;
    int32_t translationSize = 0; // E8 translation on when not 0
    // The blocks in order with their sizes; the last one repeats until the data ends.
    std::vector<std::pair<LzxBlock, uint32_t>> blocks = {{LzxBlock::Verbatim, 65536}};
    int chainDepth = 32;
};

namespace lzx {

constexpr unsigned kFrame = 32768;

struct Slots {
    uint32_t base[50];
    uint8_t extra[50];
    Slots() {
        uint32_t next = 0;
        for (unsigned s = 0; s < 50; ++s) {
            extra[s] = uint8_t(s < 4 ? 0 : std::min(17u, (s - 2) / 2));
            base[s] = next;
            next += 1u << extra[s];
        }
    }
    unsigned slotOf(uint32_t formatted) const {
        unsigned s = 3;
        while (s + 1 < 50 && base[s + 1] <= formatted)
            ++s;
        return s;
    }
};

inline unsigned PositionSlots(unsigned windowBits) {
    return windowBits == 21 ? 50 : windowBits == 20 ? 42 : windowBits * 2;
}

// Huffman code lengths no longer than limit, every code complete (at least two symbols
// get a length, dummies if need be).
inline std::vector<uint8_t> CodeLengths(std::vector<uint32_t> freq, unsigned limit) {
    int used = 0;
    for (uint32_t f : freq)
        used += f ? 1 : 0;
    for (size_t s = 0; used < 2 && s < freq.size(); ++s)
        if (!freq[s]) {
            freq[s] = 1;
            ++used;
        }
    for (;;) {
        struct Node {
            uint64_t weight;
            int index;
            bool operator>(const Node& o) const { return weight > o.weight; }
        };
        std::priority_queue<Node, std::vector<Node>, std::greater<>> heap;
        std::vector<int> parent(freq.size() * 2, -1);
        int next = int(freq.size());
        for (size_t s = 0; s < freq.size(); ++s)
            if (freq[s])
                heap.push({freq[s], int(s)});
        while (heap.size() > 1) {
            const Node a = heap.top();
            heap.pop();
            const Node b = heap.top();
            heap.pop();
            parent[size_t(a.index)] = parent[size_t(b.index)] = next;
            heap.push({a.weight + b.weight, next++});
        }
        std::vector<uint8_t> lengths(freq.size(), 0);
        unsigned longest = 0;
        for (size_t s = 0; s < freq.size(); ++s) {
            if (!freq[s])
                continue;
            unsigned depth = 0;
            for (int n = int(s); parent[size_t(n)] >= 0; n = parent[size_t(n)])
                ++depth;
            lengths[s] = uint8_t(depth);
            longest = std::max(longest, depth);
        }
        if (longest <= limit)
            return lengths;
        for (uint32_t& f : freq)
            if (f)
                f = f / 2 + 1;
    }
}

// Canonical codes for lengths, as the decoder assigns them.
inline std::vector<uint32_t> Codes(const std::vector<uint8_t>& lengths) {
    unsigned counts[17] = {};
    for (uint8_t l : lengths)
        ++counts[l];
    counts[0] = 0;
    uint32_t next[18] = {};
    uint32_t code = 0;
    for (unsigned l = 1; l <= 16; ++l) {
        code = (code + counts[l - 1]) << 1;
        next[l] = code;
    }
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s])
            codes[s] = next[lengths[s]]++;
    return codes;
}

class Writer {
public:
    void bits(uint32_t value, unsigned count) {
        for (unsigned i = count; i-- > 0;) {
            m_word = uint16_t(m_word << 1 | ((value >> i) & 1));
            if (++m_count == 16)
                flushWord();
        }
    }
    void alignToWord() {
        if (m_count)
            bits(0, 16 - m_count);
    }
    // An uncompressed block's padding: to the next word, a whole word when aligned.
    void padForBytes() { bits(0, m_count ? 16 - m_count : 16); }
    void byte(uint8_t b) { m_frame += char(b); }
    // Ends the current frame's data block.
    void cutFrame(std::vector<Block>& blocks, uint32_t uncompressed) {
        alignToWord();
        blocks.push_back({m_frame, uncompressed});
        m_frame.clear();
    }

private:
    void flushWord() {
        m_frame += char(m_word & 0xFF);
        m_frame += char(m_word >> 8);
        m_word = 0;
        m_count = 0;
    }
    std::string m_frame;
    uint16_t m_word = 0;
    unsigned m_count = 0;
};

struct Token {
    uint32_t literalOrLength; // a byte, or the match length
    uint32_t formatted = 0;   // offset + 2 for a new offset; 0, 1, 2 for a repeated one
    bool match = false;
    unsigned slot = 0;
};

inline void TranslateCalls(std::string& data, int32_t fileSize) {
    for (size_t frame = 0; frame * kFrame < data.size() && frame < 32768; ++frame) {
        const size_t start = frame * kFrame;
        const size_t size = std::min<size_t>(kFrame, data.size() - start);
        for (size_t i = 0; i + 10 < size; ++i) {
            uint8_t* p = reinterpret_cast<uint8_t*>(data.data() + start + i);
            if (p[0] != 0xE8)
                continue;
            const int64_t position = int64_t(start + i);
            const int32_t relative = int32_t(uint32_t(p[1]) | uint32_t(p[2]) << 8 |
                                             uint32_t(p[3]) << 16 | uint32_t(p[4]) << 24);
            if (relative >= -position && relative < fileSize) {
                const int64_t absolute =
                    relative < fileSize - position ? relative + position : relative - fileSize;
                const uint32_t v = uint32_t(int32_t(absolute));
                for (int b = 0; b < 4; ++b)
                    p[1 + b] = uint8_t(v >> (8 * b));
            }
            i += 4;
        }
    }
}

class Encoder {
public:
    Encoder(std::string_view data, const LzxOptions& options)
        : m_data(data), m_options(options), m_window(1u << options.windowBits),
          m_mainSymbols(256 + 8 * PositionSlots(options.windowBits)), m_head(1 << 16, -1),
          m_prev(m_window, -1) {
        if (options.translationSize)
            TranslateCalls(m_data, options.translationSize);
        m_mainLengths.assign(m_mainSymbols, 0);
        m_lengthLengths.assign(249, 0);
    }

    int repeatedMatches = 0;

    std::vector<Block> run() {
        const uint32_t total = uint32_t(m_data.size());
        m_out.bits(m_options.translationSize ? 1 : 0, 1);
        if (m_options.translationSize) {
            m_out.bits(uint32_t(m_options.translationSize) >> 16, 16);
            m_out.bits(uint32_t(m_options.translationSize) & 0xFFFF, 16);
        }
        size_t plan = 0;
        while (m_position < total) {
            const auto [kind, wanted] =
                m_options.blocks[std::min(plan++, m_options.blocks.size() - 1)];
            const uint32_t size = std::min<uint32_t>(wanted, total - m_position);
            if (kind == LzxBlock::Uncompressed)
                storeBlock(size);
            else
                codeBlock(kind, size);
        }
        if (m_position % kFrame != 0)
            m_out.cutFrame(m_blocks, m_position % kFrame);
        return m_blocks;
    }

private:
    void advanceOutput(uint32_t count) {
        for (uint32_t i = 0; i < count; ++i) {
            insertHash(m_position);
            ++m_position;
        }
    }
    void cutIfFrameEnds() {
        if (m_position % kFrame == 0)
            m_out.cutFrame(m_blocks, kFrame);
    }
    uint32_t hashAt(uint32_t p) const {
        const auto* d = reinterpret_cast<const uint8_t*>(m_data.data());
        return (uint32_t(d[p]) << 8 ^ uint32_t(d[p + 1]) << 4 ^ d[p + 2]) & 0xFFFF;
    }
    void insertHash(uint32_t p) {
        if (p + 2 >= m_data.size())
            return;
        const uint32_t h = hashAt(p);
        m_prev[p & (m_window - 1)] = m_head[h];
        m_head[h] = int32_t(p);
    }
    uint32_t matchLength(uint32_t p, uint32_t offset, uint32_t limit) const {
        if (offset == 0 || offset > p || offset > m_window - 3)
            return 0;
        uint32_t n = 0;
        while (n < limit && m_data[p + n] == m_data[p + n - offset])
            ++n;
        return n;
    }

    // Greedy matches within [m_position, end): never across a frame or block end.
    std::vector<Token> tokens(uint32_t end) {
        std::vector<Token> out;
        while (m_position < end) {
            const uint32_t p = m_position;
            const uint32_t frameEnd = (p / kFrame + 1) * kFrame;
            const uint32_t limit = std::min({257u, end - p, frameEnd - p});
            uint32_t bestLength = 0, bestOffset = 0;
            int repeat = -1;
            for (int r = 0; r < 3; ++r) {
                const uint32_t n = matchLength(p, m_repeated[r], limit);
                if (n >= 2 && n > bestLength) {
                    bestLength = n;
                    repeat = r;
                }
            }
            if (limit >= 3 && p + 2 < m_data.size()) {
                int depth = m_options.chainDepth;
                for (int32_t c = m_head[hashAt(p)]; c >= 0 && depth-- > 0;
                     c = m_prev[uint32_t(c) & (m_window - 1)]) {
                    if (p - uint32_t(c) > m_window - 3)
                        break;
                    const uint32_t n = matchLength(p, p - uint32_t(c), limit);
                    if (n >= 3 && n > bestLength + 1) {
                        bestLength = n;
                        bestOffset = p - uint32_t(c);
                        repeat = -1;
                    }
                }
            }
            Token t;
            if (bestLength >= 2 && (repeat >= 0 || bestLength >= 3)) {
                t.match = true;
                t.literalOrLength = bestLength;
                if (repeat >= 0) {
                    ++repeatedMatches;
                    t.slot = unsigned(repeat);
                    const uint32_t offset = m_repeated[repeat];
                    m_repeated[repeat] = m_repeated[0];
                    m_repeated[0] = offset;
                } else {
                    t.formatted = bestOffset + 2;
                    t.slot = m_slots.slotOf(t.formatted);
                    m_repeated[2] = m_repeated[1];
                    m_repeated[1] = m_repeated[0];
                    m_repeated[0] = bestOffset;
                }
            } else {
                t.literalOrLength = uint8_t(m_data[p]);
                bestLength = 1;
            }
            out.push_back(t);
            advanceOutput(bestLength);
        }
        return out;
    }

    void codeBlock(LzxBlock kind, uint32_t size) {
        const uint32_t start = m_position;
        const std::vector<Token> list = tokens(start + size);
        const bool aligned = kind == LzxBlock::Aligned;
        std::vector<uint32_t> mainFreq(m_mainSymbols), lengthFreq(249), alignedFreq(8);
        for (const Token& t : list) {
            if (!t.match) {
                ++mainFreq[t.literalOrLength];
                continue;
            }
            const uint32_t header = std::min(t.literalOrLength - 2, 7u);
            ++mainFreq[256 + t.slot * 8 + header];
            if (header == 7)
                ++lengthFreq[t.literalOrLength - 9];
            if (aligned && t.slot >= 3 && m_slots.extra[t.slot] >= 3)
                ++alignedFreq[(t.formatted - m_slots.base[t.slot]) & 7];
        }
        const std::vector<uint8_t> mainLengths = CodeLengths(mainFreq, 16);
        const std::vector<uint8_t> lengthLengths = CodeLengths(lengthFreq, 16);
        const std::vector<uint8_t> alignedLengths = CodeLengths(alignedFreq, 7);

        m_out.bits(uint32_t(kind), 3);
        m_out.bits(size >> 8, 16);
        m_out.bits(size & 0xFF, 8);
        if (aligned)
            for (uint8_t l : alignedLengths)
                m_out.bits(l, 3);
        writeLengths(mainLengths, m_mainLengths, 0, 256);
        writeLengths(mainLengths, m_mainLengths, 256, m_mainSymbols);
        writeLengths(lengthLengths, m_lengthLengths, 0, 249);
        m_mainLengths = mainLengths;
        m_lengthLengths = lengthLengths;

        const std::vector<uint32_t> mainCodes = Codes(mainLengths);
        const std::vector<uint32_t> lengthCodes = Codes(lengthLengths);
        const std::vector<uint32_t> alignedCodes = Codes(alignedLengths);
        uint32_t at = start;
        for (const Token& t : list) {
            if (!t.match) {
                m_out.bits(mainCodes[t.literalOrLength], mainLengths[t.literalOrLength]);
                ++at;
            } else {
                const uint32_t header = std::min(t.literalOrLength - 2, 7u);
                const uint32_t symbol = 256 + t.slot * 8 + header;
                m_out.bits(mainCodes[symbol], mainLengths[symbol]);
                if (header == 7)
                    m_out.bits(lengthCodes[t.literalOrLength - 9],
                               lengthLengths[t.literalOrLength - 9]);
                if (t.slot >= 3) {
                    const unsigned extra = m_slots.extra[t.slot];
                    const uint32_t value = t.formatted - m_slots.base[t.slot];
                    if (aligned && extra >= 3) {
                        m_out.bits(value >> 3, extra - 3);
                        m_out.bits(alignedCodes[value & 7], alignedLengths[value & 7]);
                    } else {
                        m_out.bits(value, extra);
                    }
                }
                at += t.literalOrLength;
            }
            if (at % kFrame == 0)
                m_out.cutFrame(m_blocks, kFrame);
        }
    }

    // Lengths [first, last) as pretree codes against the previous block's lengths.
    void writeLengths(const std::vector<uint8_t>& now, const std::vector<uint8_t>& before,
                      unsigned first, unsigned last) {
        struct Code {
            unsigned symbol;
            uint32_t extra;
            unsigned extraBits;
            int same = -1; // for symbol 19: the delta code that follows
        };
        std::vector<Code> codes;
        auto delta = [&](unsigned i) { return unsigned((before[i] + 17 - now[i]) % 17); };
        for (unsigned i = first; i < last;) {
            unsigned run = 1;
            while (i + run < last && now[i + run] == now[i])
                ++run;
            if (now[i] == 0 && run >= 20) {
                run = std::min(run, 51u);
                codes.push_back({18, run - 20, 5});
            } else if (now[i] == 0 && run >= 4) {
                run = std::min(run, 19u);
                codes.push_back({17, run - 4, 4});
            } else if (run >= 4) {
                run = std::min(run, 5u);
                codes.push_back({19, run - 4, 1, int(delta(i))});
            } else {
                run = 1;
                codes.push_back({delta(i), 0, 0});
            }
            i += run;
        }
        std::vector<uint32_t> freq(20);
        for (const Code& c : codes) {
            ++freq[c.symbol];
            if (c.same >= 0)
                ++freq[size_t(c.same)];
        }
        const std::vector<uint8_t> lengths = CodeLengths(freq, 15);
        const std::vector<uint32_t> pre = Codes(lengths);
        for (uint8_t l : lengths)
            m_out.bits(l, 4);
        for (const Code& c : codes) {
            m_out.bits(pre[c.symbol], lengths[c.symbol]);
            m_out.bits(c.extra, c.extraBits);
            if (c.same >= 0)
                m_out.bits(pre[size_t(c.same)], lengths[size_t(c.same)]);
        }
    }

    void storeBlock(uint32_t size) {
        m_out.bits(uint32_t(LzxBlock::Uncompressed), 3);
        m_out.bits(size >> 8, 16);
        m_out.bits(size & 0xFF, 8);
        m_out.padForBytes();
        for (uint32_t r : m_repeated)
            for (int b = 0; b < 4; ++b)
                m_out.byte(uint8_t(r >> (8 * b)));
        for (uint32_t i = 0; i < size; ++i) {
            m_out.byte(uint8_t(m_data[m_position]));
            advanceOutput(1);
            if (i + 1 == size && (size & 1))
                m_out.byte(0);
            if (m_position % kFrame == 0)
                m_out.cutFrame(m_blocks, kFrame);
        }
    }

    std::string m_data;
    LzxOptions m_options;
    uint32_t m_window;
    unsigned m_mainSymbols;
    Slots m_slots;
    std::vector<int32_t> m_head, m_prev;
    uint32_t m_repeated[3] = {1, 1, 1};
    uint32_t m_position = 0;
    std::vector<uint8_t> m_mainLengths, m_lengthLengths;
    Writer m_out;
    std::vector<Block> m_blocks;
};

} // namespace lzx

// The data as one LZX folder's data blocks; repeatedMatches, when given, receives how
// many matches took an offset from the repeated-offset queue.
inline std::vector<Block> LzxBlocks(std::string_view data, const LzxOptions& options = {},
                                    int* repeatedMatches = nullptr) {
    lzx::Encoder encoder(data, options);
    std::vector<Block> blocks = encoder.run();
    if (repeatedMatches)
        *repeatedMatches = encoder.repeatedMatches;
    return blocks;
}

} // namespace tressel::test::cab
