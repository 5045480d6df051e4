#include "platform/ace/ace_lz77.h"

#include <algorithm>
#include <utility>
#include <zlib.h>

namespace tressel::ace {

namespace {

constexpr size_t kReadChunk = 65536;
constexpr size_t kPendingChunk = 65536;
// The stream may be read this far past its end: the format pads with zero bits.
constexpr uint64_t kPaddingBits = 32;

// The format's quicksort, descending by key. The code a symbol gets depends on where
// equal widths end up, so this must be exactly this sort, not any other.
void QuickSort(uint8_t* keys, uint16_t* values, int left, int right) {
    int newLeft = left;
    int newRight = right;
    const uint8_t pivot = keys[right];
    do {
        while (newLeft < right && keys[newLeft] > pivot)
            ++newLeft;
        while (newRight > left && keys[newRight] < pivot)
            --newRight;
        if (newLeft <= newRight) {
            std::swap(keys[newLeft], keys[newRight]);
            std::swap(values[newLeft], values[newRight]);
            ++newLeft;
            --newRight;
        }
    } while (newLeft < newRight);
    if (left < newRight) {
        if (left < newRight - 1)
            QuickSort(keys, values, left, newRight);
        else if (keys[left] < keys[newRight]) {
            std::swap(keys[left], keys[newRight]);
            std::swap(values[left], values[newRight]);
        }
    }
    if (right > newLeft) {
        if (newLeft < right - 1)
            QuickSort(keys, values, newLeft, right);
        else if (keys[newLeft] < keys[right]) {
            std::swap(keys[newLeft], keys[right]);
            std::swap(values[newLeft], values[right]);
        }
    }
}

// A distance with a known bit width: its top bit is implied.
uint32_t ReadKnownWidth(BitReader& bits, unsigned width) {
    if (width < 2)
        return width;
    return bits.read(width - 1) + (uint32_t(1) << (width - 1));
}

} // namespace

// ---- BitReader

BitReader::BitReader(ByteSource& source, uint64_t at, uint64_t size)
    : m_source(&source), m_at(at), m_size(size), m_limit((size + 3) / 4 * 32 + kPaddingBits) {}

BitReader::BitReader(std::string_view bytes)
    : m_memory(bytes), m_size(bytes.size()), m_limit((bytes.size() + 3) / 4 * 32 + kPaddingBits) {
    m_source = &m_memory;
}

uint64_t BitReader::word(uint64_t index) {
    const uint64_t byte = index * 4;
    if (byte >= m_size)
        return 0;
    if (index < m_bufferWord || (index - m_bufferWord) * 4 + 4 > m_buffer.size()) {
        m_bufferWord = index;
        m_buffer = m_source->read(
            m_at + byte, static_cast<size_t>(std::min<uint64_t>(kReadChunk, m_size - byte)));
        m_buffer.resize((m_buffer.size() + 3) / 4 * 4, '\0');
        if (m_buffer.empty())
            return 0;
    }
    return ReadLe32(m_buffer.data() + (index - m_bufferWord) * 4);
}

uint32_t BitReader::peek(unsigned bits) {
    if (bits == 0)
        return 0;
    const uint64_t index = m_position / 32;
    const uint64_t both = word(index) << 32 | word(index + 1);
    return static_cast<uint32_t>((both << (m_position % 32)) >> (64 - bits));
}

void BitReader::skip(unsigned bits) {
    // Once overrun, the position stays put: the caller checks overrun() and stops.
    if (m_position <= m_limit)
        m_position += bits;
}

// ---- Huffman tables

bool BuildHuffmanTable(const uint8_t* widths, size_t count, unsigned maxWidth,
                       HuffmanTable& table) {
    if (count == 0 || count > kMaxWidths || maxWidth > kMaxCodeWidth)
        return false;
    table.maxWidth = maxWidth;
    table.count = count;
    std::copy(widths, widths + count, table.widths.begin());
    std::array<uint8_t, kMaxWidths> keys{};
    std::array<uint16_t, kMaxWidths> order{};
    std::copy(widths, widths + count, keys.begin());
    for (size_t i = 0; i < count; ++i)
        order[i] = static_cast<uint16_t>(i);
    QuickSort(keys.data(), order.data(), 0, static_cast<int>(count) - 1);

    size_t used = 0;
    while (used < count && keys[used] != 0)
        ++used;
    if (used < 2) {
        // One symbol or none: it is read with one bit, whatever the table says.
        table.widths[order[0]] = 1;
        used = std::max<size_t>(used, 1);
    }
    const size_t slots = size_t(1) << maxWidth;
    size_t filled = 0;
    for (size_t i = used; i-- > 0;) {
        if (keys[i] > maxWidth)
            return false;
        const size_t repeat = size_t(1) << (maxWidth - keys[i]);
        if (filled + repeat > slots)
            return false;
        std::fill_n(table.symbols.begin() + static_cast<ptrdiff_t>(filled), repeat, order[i]);
        filled += repeat;
    }
    std::fill(table.symbols.begin() + static_cast<ptrdiff_t>(filled),
              table.symbols.begin() + static_cast<ptrdiff_t>(slots), kNoSymbol);
    return true;
}

std::vector<uint32_t> HuffmanCodes(const HuffmanTable& table) {
    std::vector<uint32_t> codes(table.count, 0);
    std::vector<bool> seen(table.count, false);
    const size_t slots = size_t(1) << table.maxWidth;
    for (size_t slot = 0; slot < slots; ++slot) {
        const uint16_t symbol = table.symbols[slot];
        if (symbol == kNoSymbol || seen[symbol])
            continue;
        seen[symbol] = true;
        codes[symbol] = static_cast<uint32_t>(slot >> (table.maxWidth - table.widths[symbol]));
    }
    return codes;
}

int ReadSymbol(BitReader& bits, const HuffmanTable& table) {
    const uint16_t symbol = table.symbols[bits.peek(table.maxWidth)];
    if (symbol == kNoSymbol)
        return -1;
    bits.skip(table.widths[symbol]);
    return symbol;
}

bool ReadHuffmanTable(BitReader& bits, unsigned maxWidth, size_t symbolCount, HuffmanTable& table) {
    const size_t count = std::min<size_t>(bits.read(9) + 1, symbolCount + 1);
    const unsigned lower = bits.read(4);
    const unsigned upper = bits.read(4);
    uint8_t widthWidths[16];
    for (unsigned i = 0; i <= upper; ++i)
        widthWidths[i] = static_cast<uint8_t>(bits.read(kWidthWidthBits));
    HuffmanTable widthTable;
    if (bits.overrun() || !BuildHuffmanTable(widthWidths, upper + 1, kWidthCodeWidth, widthTable))
        return false;

    std::array<uint8_t, kMaxWidths> widths{};
    size_t n = 0;
    while (n < count) {
        const int symbol = ReadSymbol(bits, widthTable);
        if (symbol < 0 || bits.overrun())
            return false;
        if (static_cast<unsigned>(symbol) < upper) {
            widths[n++] = static_cast<uint8_t>(symbol);
        } else {
            const size_t run = std::min<size_t>(bits.read(4) + 4, count - n);
            n += run; // zeros, as the array already holds
        }
    }
    // Widths are stored as differences from the previous one, modulo upper.
    if (upper > 0)
        for (size_t i = 1; i < count; ++i)
            widths[i] = static_cast<uint8_t>((widths[i] + widths[i - 1]) % upper);
    for (size_t i = 0; i < count; ++i)
        if (widths[i] > 0)
            widths[i] = static_cast<uint8_t>(widths[i] + lower);
    return !bits.overrun() && BuildHuffmanTable(widths.data(), count, maxWidth, table);
}

// ---- LZ77

Lz77Decoder::Lz77Decoder(unsigned dictionaryBits)
    : m_window(size_t(1) << std::clamp(dictionaryBits, kMinDictionaryBits, kMaxDictionaryBits)),
      m_mask(m_window.size() - 1) {}

void Lz77Decoder::reset() {
    m_position = 0;
}

void Lz77Decoder::append(const uint8_t* data, size_t size) {
    for (size_t i = 0; i < size; ++i)
        m_window[m_position++ & m_mask] = data[i];
}

bool Lz77Decoder::flush(const Sink* sink, uint32_t& crc) {
    if (m_pending.empty())
        return true;
    crc =
        static_cast<uint32_t>(::crc32(crc, m_pending.data(), static_cast<uInt>(m_pending.size())));
    const bool taken = !sink || (*sink)(m_pending.data(), m_pending.size());
    m_pending.clear();
    return taken;
}

bool Lz77Decoder::put(uint8_t byte, const Sink* sink, uint32_t& crc) {
    m_window[m_position++ & m_mask] = byte;
    m_pending.push_back(byte);
    return m_pending.size() < kPendingChunk || flush(sink, crc);
}

uint32_t Lz77Decoder::takeDistance(unsigned slot) {
    // slot 0 is the most recent; the one taken becomes the most recent.
    const size_t at = m_distances.size() - 1 - slot;
    const uint32_t distance = m_distances[at];
    std::rotate(m_distances.begin() + static_cast<ptrdiff_t>(at),
                m_distances.begin() + static_cast<ptrdiff_t>(at) + 1, m_distances.end());
    return distance;
}

void Lz77Decoder::pushDistance(uint32_t distance) {
    std::rotate(m_distances.begin(), m_distances.begin() + 1, m_distances.end());
    m_distances.back() = distance;
}

// crc runs as zlib keeps it (inverted); the caller compares its inverse.
Status Lz77Decoder::decode(BitReader& bits, uint64_t size, const Sink* sink, uint32_t& crc) {
    if (!m_block)
        m_block = std::make_unique<Block>();
    Block& block = *m_block;
    block.symbolsLeft = 0;
    m_distances = {};
    m_pending.clear();
    m_pending.reserve(kPendingChunk);
    Status status = Status::Ok;
    for (uint64_t produced = 0; produced < size && status == Status::Ok;) {
        if (block.symbolsLeft == 0) {
            if (!ReadHuffmanTable(bits, kMaxCodeWidth, kMainSymbols, block.main) ||
                !ReadHuffmanTable(bits, kMaxCodeWidth, kLengthSymbols, block.lengths)) {
                status = bits.overrun() ? Status::CutShort : Status::Damaged;
                break;
            }
            block.symbolsLeft = bits.read(kSymbolCountBits);
        }
        --block.symbolsLeft; // a count of 0 never runs out, as in the format's decoder
        const int symbol = ReadSymbol(bits, block.main);
        if (bits.overrun()) {
            status = Status::CutShort;
        } else if (symbol < 0 || static_cast<unsigned>(symbol) >= kTypeCode) {
            status = Status::Damaged;
        } else if (symbol < static_cast<int>(kRepeatBase)) {
            if (!put(static_cast<uint8_t>(symbol), sink, crc))
                status = Status::Refused;
            ++produced;
        } else {
            uint32_t distance = 0;
            uint32_t length = 0;
            if (static_cast<unsigned>(symbol) < kDistanceBase) {
                const unsigned slot = static_cast<unsigned>(symbol) & 3;
                const int lengthSymbol = ReadSymbol(bits, block.lengths);
                distance = takeDistance(slot);
                length = static_cast<uint32_t>(lengthSymbol) + (slot > 1 ? 3 : 2);
                if (lengthSymbol < 0)
                    status = Status::Damaged;
            } else {
                distance = ReadKnownWidth(bits, static_cast<unsigned>(symbol) - kDistanceBase);
                const int lengthSymbol = ReadSymbol(bits, block.lengths);
                pushDistance(distance);
                length =
                    static_cast<uint32_t>(lengthSymbol) + (distance <= kMaxDistanceAtLength2   ? 2
                                                           : distance <= kMaxDistanceAtLength3 ? 3
                                                                                               : 4);
                if (lengthSymbol < 0)
                    status = Status::Damaged;
            }
            ++distance;
            if (bits.overrun())
                status = Status::CutShort;
            else if (produced + length > size ||
                     distance > std::min<uint64_t>(m_position, m_window.size()))
                status = Status::Damaged;
            for (uint32_t i = 0; i < length && status == Status::Ok; ++i)
                if (!put(m_window[(m_position - distance) & m_mask], sink, crc))
                    status = Status::Refused;
            produced += length;
        }
    }
    if (!flush(sink, crc) && status == Status::Ok)
        status = Status::Refused;
    return status;
}

} // namespace tressel::ace
