#pragma once

// The command-line tool run in-process over a scratch folder ("sat"), with the user's
// settings and undo journals kept in scratch places of their own.

#include "cli/cli.h"
#include "isolated_settings.h"
#include "isolated_state.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tressel::cli {

class CliTest : public ::testing::Test {
protected:
    // Runs `tressel args...`; out and err then hold what it printed.
    int tressel(std::vector<std::string> args) {
        out.str("");
        err.str("");
        return cli::Run(args, out, err);
    }

    test::IsolatedSettings settings;
    test::IsolatedState state;
    test::TempDir sat;
    std::ostringstream out;
    std::ostringstream err;
};

} // namespace tressel::cli
