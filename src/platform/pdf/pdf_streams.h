#pragma once

// The data of PDF streams: FlateDecode (zlib) with the PNG predictors that
// cross-reference streams use, bounded in what is read and what is made.

#include "pdf_objects.h"
#include "platform/byte_source.h"

#include <optional>
#include <string>

namespace tressel::pdf {

// The first maxOutput bytes (or fewer) of the decoded data of a stream whose dictionary
// is dictionary and whose data starts at dataOffset. Nothing for a filter other than
// FlateDecode or a predictor other than the PNG ones; a damaged stream gives what was
// decoded before the damage.
std::optional<std::string> DecodeStream(ByteSource& source, const Object& dictionary,
                                        uint64_t dataOffset, size_t maxOutput);

// Undoes the PNG predictors of rows of rowBytes bytes, each led by its filter byte, with
// bytesPerPixel bytes per pixel; false on an unknown filter byte. A last row cut short
// is dropped.
bool UndoPngPredictor(std::string& data, size_t rowBytes, size_t bytesPerPixel);

} // namespace tressel::pdf
