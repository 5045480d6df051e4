#include "pdf_streams.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace tressel::pdf {

namespace {

constexpr size_t kInputChunk = 16 * 1024;
// Deflate never makes data much larger, so more input than this cannot be needed for
// maxOutput bytes.
constexpr size_t kInputSlack = 64 * 1024;

std::string Inflate(ByteSource& source, uint64_t offset, uint64_t inputLimit, size_t maxOutput) {
    std::string out;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return out;
    std::string input;
    char buffer[16 * 1024];
    uint64_t consumed = 0;
    int status = Z_OK;
    while (status == Z_OK && out.size() < maxOutput) {
        if (stream.avail_in == 0) {
            if (consumed >= inputLimit)
                break;
            input = source.read(offset + consumed, static_cast<size_t>(std::min<uint64_t>(
                                                       kInputChunk, inputLimit - consumed)));
            if (input.empty())
                break;
            consumed += input.size();
            stream.next_in = reinterpret_cast<Bytef*>(input.data());
            stream.avail_in = static_cast<uInt>(input.size());
        }
        const size_t room = std::min(sizeof buffer, maxOutput - out.size());
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = static_cast<uInt>(room);
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, room - stream.avail_out);
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            status = Z_OK; // more input wanted
    }
    inflateEnd(&stream);
    return out;
}

// The one filter of a stream, from /Filter as a name or a one-name array.
const Object* OnlyFilter(const Object& dictionary) {
    const Object* filter = dictionary.find("Filter");
    if (filter && filter->kind == Object::Kind::Array)
        return filter->items.size() == 1 ? &filter->items[0] : nullptr;
    return filter;
}

const Object* OnlyParameters(const Object& dictionary) {
    const Object* parameters = dictionary.find("DecodeParms");
    if (parameters && parameters->kind == Object::Kind::Array)
        return parameters->items.size() == 1 ? &parameters->items[0] : nullptr;
    return parameters;
}

int64_t IntegerOr(const Object* dictionary, std::string_view key, int64_t fallback) {
    if (!dictionary)
        return fallback;
    const Object* value = dictionary->find(key);
    return value && value->integer() ? *value->integer() : fallback;
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

} // namespace

bool UndoPngPredictor(std::string& data, size_t rowBytes, size_t bytesPerPixel) {
    const size_t stride = rowBytes + 1;
    const size_t rows = data.size() / stride;
    std::string out(rows * rowBytes, '\0');
    auto* result = reinterpret_cast<uint8_t*>(out.data());
    const auto* in = reinterpret_cast<const uint8_t*>(data.data());
    for (size_t row = 0; row < rows; ++row) {
        const uint8_t filter = in[row * stride];
        const uint8_t* raw = in + row * stride + 1;
        uint8_t* line = result + row * rowBytes;
        const uint8_t* above = row ? line - rowBytes : nullptr;
        for (size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= bytesPerPixel ? line[i - bytesPerPixel] : 0;
            const int up = above ? above[i] : 0;
            const int upLeft = above && i >= bytesPerPixel ? above[i - bytesPerPixel] : 0;
            int predicted = 0;
            switch (filter) {
            case 0:
                predicted = 0;
                break;
            case 1:
                predicted = left;
                break;
            case 2:
                predicted = up;
                break;
            case 3:
                predicted = (left + up) / 2;
                break;
            case 4:
                predicted = Paeth(left, up, upLeft);
                break;
            default:
                return false;
            }
            line[i] = static_cast<uint8_t>(raw[i] + predicted);
        }
    }
    data = std::move(out);
    return true;
}

std::optional<std::string> DecodeStream(ByteSource& source, const Object& dictionary,
                                        uint64_t dataOffset, size_t maxOutput) {
    if (dataOffset >= source.size())
        return std::nullopt;
    uint64_t inputLimit = std::min<uint64_t>(source.size() - dataOffset, maxOutput + kInputSlack);
    const int64_t length = IntegerOr(&dictionary, "Length", -1);
    if (length >= 0)
        inputLimit = std::min<uint64_t>(inputLimit, static_cast<uint64_t>(length));

    const Object* filter = OnlyFilter(dictionary);
    if (!filter)
        return dictionary.find("Filter")
                   ? std::nullopt
                   : std::optional(
                         source.read(dataOffset, std::min<uint64_t>(inputLimit, maxOutput)));
    if (!filter->isName("FlateDecode"))
        return std::nullopt;

    const Object* parameters = OnlyParameters(dictionary);
    const int64_t predictor = IntegerOr(parameters, "Predictor", 1);
    if (predictor == 1)
        return Inflate(source, dataOffset, inputLimit, maxOutput);
    const int64_t columns = IntegerOr(parameters, "Columns", 1);
    const int64_t colors = IntegerOr(parameters, "Colors", 1);
    const int64_t bits = IntegerOr(parameters, "BitsPerComponent", 8);
    if (predictor < 10 || predictor > 15 || columns < 1 || columns > 65536 || colors < 1 ||
        colors > 32 || (bits != 1 && bits != 2 && bits != 4 && bits != 8 && bits != 16))
        return std::nullopt;
    const auto rowBytes = static_cast<size_t>((columns * colors * bits + 7) / 8);
    const auto bytesPerPixel = static_cast<size_t>(std::max<int64_t>(1, colors * bits / 8));
    // Each row carries one more byte, its filter, before the predictor is undone.
    std::string data = Inflate(source, dataOffset, inputLimit,
                               maxOutput / rowBytes * (rowBytes + 1) + rowBytes + 1);
    if (!UndoPngPredictor(data, rowBytes, bytesPerPixel))
        return std::nullopt;
    return data;
}

} // namespace tressel::pdf
