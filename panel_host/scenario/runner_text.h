// runner_text: what the runner's files (scenario_runner.cpp, runner_*.cpp)
// share about the transcript's text.
#pragma once

#include <string>

// A text in double quotes as the transcript shows it, a line end as \n.
inline std::string quotedText(const std::string& text)
{
    std::string shown = "\"";
    for (char c : text)
        shown += c == '\n' ? std::string("\\n") : std::string(1, c);
    return shown + "\"";
}
