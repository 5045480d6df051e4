#pragma once

// The committed RAR fixtures (tests/fixtures/rar), as the builder makes them:
// make-fixtures.sh there writes them, and the reader test checks that the files still
// match.

#include "rar_builder.h"

#include <string>
#include <vector>

namespace tressel::test {

struct RarFixture {
    const char* file;
    std::string bytes;
};

inline std::vector<RarFixture> RarFixtures() {
    RarArchive archive;
    archive.comment = "title=Orbit Collection\r\nsecond line\r\n";
    archive.members = {{"file_id.diz", "  -=[ Orbit Diz ]=-\r\n"},
                       {"readme.txt", "\r\nOrbit Readme\r\n"},
                       {"data.bin", std::string(300, 'd')}};
    RarArchive solid = archive;
    solid.solid = true;
    RarArchive sfx = archive;
    sfx.stub = "MZ" + std::string(510, '\0');
    return {{"stored4.rar", BuildRar4(archive)}, {"stored5.rar", BuildRar5(archive)},
            {"solid4.rar", BuildRar4(solid)},    {"solid5.rar", BuildRar5(solid)},
            {"sfx4.exe", BuildRar4(sfx)},        {"sfx5.exe", BuildRar5(sfx)}};
}

} // namespace tressel::test
