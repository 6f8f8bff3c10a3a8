// What the command-line jobs print: one line of UTF-8 text, failures on standard error.
#pragma once

#include <QString>
#include <cstdio>

namespace CommandOutput {
inline void line(std::FILE* to, const QString& text)
{
    std::fprintf(to, "%s\n", text.toUtf8().constData());
}

// The reason on standard error; returns the exit code of a job that did nothing.
inline int fail(const QString& reason)
{
    line(stderr, reason);
    return 1;
}
} // namespace CommandOutput
