// Quantum folders: an LZ77 coder whose literals, match lengths and position slots are
// sent through a 16-bit arithmetic coder with adaptive frequency models, while the
// extra bits of lengths and positions are taken raw from the same bit stream (most
// significant bit first). Every data block is one frame: the arithmetic coder starts
// afresh at its first byte, and the block ends after its stated number of bytes (any
// padding after that is ignored). The models and the window carry over from block to
// block through the whole folder.

#include "readers/cabinet/cab_method.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstring>

namespace tressel::cab {
namespace {

constexpr unsigned kMinWindowBits = 10;
constexpr unsigned kMaxWindowBits = 21;

// Position slots: offset - 1 = base + extra bits. Slots 2k and 2k + 1 start at 2^k and
// 3 * 2^(k - 1), so 2 * windowBits slots reach exactly the window size.
constexpr unsigned kPositionSlots = 2 * kMaxWindowBits;
constexpr uint32_t kPositionBase[kPositionSlots] = {
    0,     1,      2,      3,      4,      6,      8,      12,      16,     24,    32,
    48,    64,     96,     128,    192,    256,    384,    512,     768,    1024,  1536,
    2048,  3072,   4096,   6144,   8192,   12288,  16384,  24576,   32768,  49152, 65536,
    98304, 131072, 196608, 262144, 393216, 524288, 786432, 1048576, 1572864};
constexpr uint8_t kPositionExtraBits[kPositionSlots] = {
    0, 0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,
    9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 17, 17, 18, 18, 19, 19};

// Lengths of the variable-length match: length - 5 = base + extra bits.
constexpr unsigned kLengthSlots = 27;
constexpr uint8_t kLengthBase[kLengthSlots] = {0,  1,  2,  3,   4,   5,   6,   8,   10,
                                               12, 14, 18, 22,  26,  30,  38,  46,  54,
                                               62, 78, 94, 110, 126, 158, 190, 222, 254};
constexpr uint8_t kLengthExtraBits[kLengthSlots] = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                                    3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

// The selector picks what follows: 0-3 a literal from one quarter of the byte range,
// 4 a match of 3 bytes, 5 a match of 4 bytes, 6 a match with a coded length.
constexpr unsigned kSelectors = 7;
constexpr unsigned kFirstMatchSelector = 4;
constexpr unsigned kLiteralsPerModel = 64;
constexpr unsigned kShortMatchSlots = 24;  // position slots a 3-byte match may use
constexpr unsigned kMediumMatchSlots = 36; // and a 4-byte match

constexpr unsigned kMaxSymbols = 64;
constexpr unsigned kFrequencyStep = 8;
constexpr unsigned kFrequencyLimit = 3800;
constexpr unsigned kHalvingsBeforeFirstSort = 4;
constexpr unsigned kHalvingsBetweenSorts = 50;

// How far the arithmetic coder may read beyond the block's bytes (as zeros) before the
// block counts as cut short.
constexpr size_t kMaxOverrunBits = 32;

// An adaptive model: symbols ordered by falling frequency, with cumulative counts from
// the end, so that cumulative[0] is the total and cumulative[entries] is 0.
struct Model {
    unsigned entries = 0;
    unsigned halvingsLeft = 0;
    uint16_t cumulative[kMaxSymbols + 1] = {};
    uint8_t symbols[kMaxSymbols] = {};

    void init(unsigned first, unsigned count) {
        entries = count;
        halvingsLeft = kHalvingsBeforeFirstSort;
        for (unsigned i = 0; i <= count; ++i)
            cumulative[i] = uint16_t(count - i);
        for (unsigned i = 0; i < count; ++i)
            symbols[i] = uint8_t(first + i);
    }

    // Halves the counts; every so often also re-sorts the symbols by frequency. Every
    // symbol keeps a frequency of at least 1.
    void rescale() {
        if (--halvingsLeft) {
            for (unsigned i = entries; i-- > 0;) {
                cumulative[i] = uint16_t(cumulative[i] >> 1);
                if (cumulative[i] <= cumulative[i + 1])
                    cumulative[i] = uint16_t(cumulative[i + 1] + 1);
            }
            return;
        }
        halvingsLeft = kHalvingsBetweenSorts;
        uint16_t frequency[kMaxSymbols];
        for (unsigned i = 0; i < entries; ++i)
            frequency[i] = uint16_t((cumulative[i] - cumulative[i + 1] + 1) >> 1);
        // The exchange sort of the format: its order among equal frequencies counts.
        for (unsigned i = 0; i + 1 < entries; ++i) {
            for (unsigned j = i + 1; j < entries; ++j) {
                if (frequency[i] < frequency[j]) {
                    std::swap(frequency[i], frequency[j]);
                    std::swap(symbols[i], symbols[j]);
                }
            }
        }
        for (unsigned i = entries; i-- > 0;)
            cumulative[i] = uint16_t(cumulative[i + 1] + frequency[i]);
    }
};

// Division by a model's total (at least the model's 7 or more entries, never above
// kFrequencyLimit) through a multiplication: with c = ceil(2^64 / d) and d > 1, the high
// 64 bits of c * n are n / d for every 32-bit n.
constexpr unsigned kTotals = 4096;
static_assert(kFrequencyLimit < kTotals);

constexpr std::array<uint64_t, kTotals> MakeReciprocals() {
    std::array<uint64_t, kTotals> reciprocals{};
    for (unsigned d = 2; d < kTotals; ++d)
        reciprocals[d] = UINT64_MAX / d + 1;
    return reciprocals;
}
constexpr std::array<uint64_t, kTotals> kReciprocals = MakeReciprocals();

inline uint32_t DivideByTotal(uint32_t n, uint32_t total) {
    return uint32_t((unsigned __int128)kReciprocals[total % kTotals] * n >> 64);
}

// Bits most significant first; past the end of the block, zeros.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t size) : m_next(data), m_end(data + size) {}

    uint32_t bits(unsigned n) { // n <= 32
        if (n == 0)
            return 0;
        if (m_count < n)
            refill();
        const uint32_t value = uint32_t(m_buffer >> (64 - n));
        m_buffer <<= n;
        m_count -= n;
        return value;
    }

    bool overran() const {
        return m_overrunBytes != 0 && m_overrunBytes * 8 > m_count + kMaxOverrunBits;
    }

private:
    void refill() {
        while (m_count <= 56) {
            uint64_t byte = 0;
            if (m_next < m_end)
                byte = *m_next++;
            else
                ++m_overrunBytes;
            m_buffer |= byte << (56 - m_count);
            m_count += 8;
        }
    }

    const uint8_t* m_next;
    const uint8_t* m_end;
    uint64_t m_buffer = 0;
    unsigned m_count = 0;
    size_t m_overrunBytes = 0;
};

// The arithmetic decoder: low, high and code are 16-bit registers. It owns the bit
// stream, whose raw fields (the extra bits of lengths and positions) it hands out too.
class ArithmeticDecoder {
public:
    ArithmeticDecoder(const uint8_t* data, size_t size) : m_in(data, size), m_code(m_in.bits(16)) {}

    uint32_t bits(unsigned n) { return m_in.bits(n); }
    // Whether the data was cut short or cannot have been encoded.
    bool failed() const { return m_corrupt || m_in.overran(); }

    unsigned decode(Model& model) {
        // Registers in locals: the compiler keeps them out of memory.
        uint32_t low = m_low, high = m_high, code = m_code;
        const uint32_t range = high - low + 1;
        const uint32_t total = model.cumulative[0];
        // A code outside [low, high] never comes from an encoder. The search still ends
        // on a symbol then: the scaled code below stays between 1 and 2^16 * total.
        const uint32_t offset = (code - low) & 0xFFFF;
        m_corrupt |= offset >= range;
        // The symbol whose share of the range holds the code: the first index whose
        // lower bound, scaled to the range, is not above (offset + 1) * total - 1.
        const uint32_t scaledCode = (offset + 1) * total;
        unsigned index = 0;
        while (model.cumulative[index + 1] * range >= scaledCode) {
            model.cumulative[index] = uint16_t(model.cumulative[index] + kFrequencyStep);
            ++index;
        }
        const unsigned symbol = model.symbols[index];
        high = low + DivideByTotal(model.cumulative[index] * range, total) - 1;
        low = low + DivideByTotal(model.cumulative[index + 1] * range, total);
        model.cumulative[index] = uint16_t(model.cumulative[index] + kFrequencyStep);
        if (model.cumulative[0] > kFrequencyLimit)
            model.rescale();
        normalise(low, high, code);
        m_low = low;
        m_high = high;
        m_code = code;
        return symbol;
    }

private:
    // Shifts out the bits low and high agree on, and the pending middle bits when they
    // straddle the midpoint closely. Afterwards high - low > 0x4000 whatever the input,
    // so every symbol keeps a non-empty interval.
    void normalise(uint32_t& low, uint32_t& high, uint32_t& code) {
        for (;;) {
            // Leading bits that agree go out together (all 16 when low == high).
            unsigned shift = unsigned(std::countl_zero(uint16_t(low ^ high)));
            if (shift == 0) {
                if (!((low & 0x4000) && !(high & 0x4000)))
                    return;
                code ^= 0x4000;
                low &= 0x3FFF;
                high |= 0x4000;
                shift = 1;
            }
            low = (low << shift) & 0xFFFF;
            high = ((high << shift) | ((1u << shift) - 1)) & 0xFFFF;
            code = ((code << shift) | m_in.bits(shift)) & 0xFFFF;
        }
    }

    BitReader m_in;
    uint32_t m_low = 0;
    uint32_t m_high = 0xFFFF;
    uint32_t m_code;
    bool m_corrupt = false;
};

// A byte-by-byte copy, so that a source overlapping the target repeats its bytes; most
// matches are short, and a library call costs more than the loop.
inline void CopyForward(uint8_t* target, const uint8_t* source, uint32_t length) {
    if (length >= 32 && target - source >= ptrdiff_t(length)) {
        std::memcpy(target, source, length);
        return;
    }
    for (uint32_t i = 0; i < length; ++i)
        target[i] = source[i];
}

struct Match {
    uint32_t length = 0;
    uint32_t distance = 0;
};

class QuantumMethod final : public Method {
public:
    QuantumMethod(const Memory& memory, unsigned windowBits)
        : m_memory(memory), m_windowBits(windowBits), m_windowSize(1u << windowBits) {}
    ~QuantumMethod() override { m_memory.release(m_window); }
    QuantumMethod(const QuantumMethod&) = delete;
    QuantumMethod& operator=(const QuantumMethod&) = delete;

    bool init() {
        m_window = static_cast<uint8_t*>(m_memory.allocate(m_windowSize));
        reset();
        return m_window != nullptr;
    }

    void reset() override {
        m_decoded = 0;
        for (unsigned i = 0; i < 4; ++i)
            m_literals[i].init(i * kLiteralsPerModel, kLiteralsPerModel);
        const unsigned slots = 2 * m_windowBits;
        m_shortPositions.init(0, std::min(slots, kShortMatchSlots));
        m_mediumPositions.init(0, std::min(slots, kMediumMatchSlots));
        m_longPositions.init(0, slots);
        m_lengths.init(0, kLengthSlots);
        m_selector.init(0, kSelectors);
    }

    bool decompress(const uint8_t* in, size_t inSize, uint8_t* out, size_t outSize) override {
        if (outSize > kMaxBlockSize)
            return false;
        ArithmeticDecoder coder(in, inSize);
        size_t at = 0;
        while (at < outSize) {
            // Data cut short decodes as zeros; stop as soon as that is certain.
            if (coder.failed())
                return false;
            const unsigned selector = coder.decode(m_selector);
            if (selector < kFirstMatchSelector) {
                out[at++] = uint8_t(coder.decode(m_literals[selector]));
                continue;
            }
            const Match match = readMatch(selector, coder);
            if (match.length > outSize - at || !copyMatch(match, out, at))
                return false;
            at += match.length;
        }
        if (coder.failed())
            return false;
        remember(out, outSize);
        return true;
    }

private:
    Match readMatch(unsigned selector, ArithmeticDecoder& coder) {
        Match match;
        Model* positions = &m_longPositions;
        if (selector == kFirstMatchSelector) {
            match.length = 3;
            positions = &m_shortPositions;
        } else if (selector == kFirstMatchSelector + 1) {
            match.length = 4;
            positions = &m_mediumPositions;
        } else {
            const unsigned slot = coder.decode(m_lengths);
            match.length = 5 + kLengthBase[slot] + coder.bits(kLengthExtraBits[slot]);
        }
        const unsigned slot = coder.decode(*positions);
        match.distance = 1 + kPositionBase[slot] + coder.bits(kPositionExtraBits[slot]);
        return match;
    }

    // Copies a match to out[at...]: its start may lie in earlier blocks (the window),
    // never before the start of the folder or further back than the window reaches.
    bool copyMatch(const Match& match, uint8_t* out, size_t at) const {
        const uint64_t reach = std::min<uint64_t>(m_decoded, m_windowSize) + at;
        if (match.distance > reach)
            return false;
        uint8_t* target = out + at;
        uint32_t length = match.length;
        if (match.distance > at) {
            const uint32_t fromWindow = std::min<uint32_t>(length, uint32_t(match.distance - at));
            copyFromWindow(m_decoded - (match.distance - at), target, fromWindow);
            target += fromWindow;
            length -= fromWindow;
            if (length == 0)
                return true;
        }
        CopyForward(target, target - match.distance, length);
        return true;
    }

    // Bytes decoded before this block, from position `start` within the folder.
    void copyFromWindow(uint64_t start, uint8_t* target, uint32_t length) const {
        const uint32_t mask = m_windowSize - 1;
        const uint32_t first = uint32_t(start) & mask;
        if (length <= m_windowSize - first)
            return CopyForward(target, m_window + first, length);
        for (uint32_t i = 0; i < length; ++i)
            target[i] = m_window[(first + i) & mask];
    }

    // Keeps the last window's worth of the folder for the blocks that follow.
    void remember(const uint8_t* out, size_t size) {
        const size_t kept = std::min<size_t>(size, m_windowSize);
        const uint8_t* from = out + size - kept;
        const uint32_t mask = m_windowSize - 1;
        const uint32_t first = uint32_t(m_decoded + size - kept) & mask;
        const size_t head = std::min<size_t>(kept, m_windowSize - first);
        std::memcpy(m_window + first, from, head);
        std::memcpy(m_window, from + head, kept - head);
        m_decoded += size;
    }

    Memory m_memory;
    unsigned m_windowBits;
    uint32_t m_windowSize;
    uint8_t* m_window = nullptr;
    uint64_t m_decoded = 0; // bytes of the folder decoded before the current block
    Model m_literals[4];
    Model m_shortPositions, m_mediumPositions, m_longPositions;
    Model m_lengths;
    Model m_selector;
};

} // namespace

// A window outside 10 to 21 bits cannot be decoded; it counts as failed decoding, as
// any other undecodable folder does.
MethodResult CreateQuantumMethod(const Memory& memory, unsigned windowBits, int) {
    if (windowBits < kMinWindowBits || windowBits > kMaxWindowBits)
        return {nullptr, kCabDecompressFailed};
    auto* method = memory.make<QuantumMethod>(memory, windowBits);
    if (!method || !method->init()) {
        memory.destroy(method);
        return {nullptr, kCabOutOfMemory};
    }
    return {method, kCabOk};
}

} // namespace tressel::cab
