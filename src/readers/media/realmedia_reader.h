#pragma once

// RealMedia: the content-description chunk ("CONT") and the "Creation Date" property,
// searched for in the first four kilobytes of the file.

#include "tag_reader.h"

namespace tressel {

// Values: "author - title" when both are known, then title, author, copyright and
// comment (each when not empty), then the creation date. Recognised when any was found.
TagReading ReadRealMediaTags(ByteSource& source);

class CRealMediaReader final : public CTagReader {
public:
    CRealMediaReader(const std::string& path, bool scanAll);
    const char* extensions() const override { return "rm;ra;ram;rv;rmm;rmd;rmj;rnx;rmx;rpm"; }
    const char* formatName() const override { return "rm"; }
};

} // namespace tressel
