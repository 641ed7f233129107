#pragma once

#include <optional>

namespace desktop {

// The program takes no file and no setting. Like any Qt program it answers --help and --version, and it answers
// them before reaching for a window system, so they work without a display. Returns the exit status when the
// command line held such a question (0) or anything else (2, after one line and a hint on stderr), and nothing
// when the scoreboard is to start.
[[nodiscard]] std::optional<int> answerCommandLine(int argc, char* argv[]);

} // namespace desktop
