#pragma once

// The committed ACE fixtures (tests/fixtures/ace), as the builder makes them:
// make-fixtures.sh there writes them, and the reader test checks that the files still
// match.

#include "ace_builder.h"

#include <string>
#include <vector>

namespace tressel::test {

struct AceFixture {
    const char* file;
    std::string bytes;
};

// A readme long enough for copies at near and far distances.
inline std::string AceSampleReadme() {
    std::string text = "\r\nOrbit Readme\r\n\r\n";
    for (int i = 0; i < 300; ++i)
        text += "Transponder " + std::to_string(i % 23) + " carries the orbit feed, line " +
                std::to_string(i) + ".\r\n";
    return text;
}

inline AceArchive AceSampleArchive(AceMethod method) {
    AceArchive archive;
    archive.comment = "Orbit Collection\r\n(c) Orbit Orbit Orbit\r\n";
    archive.members = {{"file_id.diz", "  -=[ Orbit Diz ]=-\r\n", method},
                       {"readme.txt", AceSampleReadme(), method},
                       {"data\\data.bin", std::string(3000, 'd') + "tail", method}};
    return archive;
}

inline std::vector<AceFixture> AceFixtures() {
    AceArchive stored = AceSampleArchive(AceMethod::Stored);
    AceArchive lz77 = AceSampleArchive(AceMethod::Lz77);
    AceArchive solid = lz77;
    solid.solid = true;
    AceArchive sfx = lz77;
    sfx.stub = "MZ" + std::string(510, '\0');
    return {{"stored.ace", BuildAce(stored)},
            {"lz77.ace", BuildAce(lz77)},
            {"solid.ace", BuildAce(solid)},
            {"sfx.exe", BuildAce(sfx)}};
}

} // namespace tressel::test
