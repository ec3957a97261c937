#include "run_program.h"

std::string program_message(const ProgramRun& run)
{
    std::string text = run.err.empty() ? run.out : run.err;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    // The last three lines say what went wrong; the first ones are banners.
    size_t at = text.size();
    for (int lines = 0; lines < 3 && at != std::string::npos && at > 0; ++lines)
        at = text.rfind('\n', at - 1);
    if (at != std::string::npos && at < text.size())
        text = text.substr(at + 1);
    return text.empty() ? "(no message)" : text;
}
