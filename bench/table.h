// The benchmarks' one table: a line per figure with the measured value, the
// line limit or goal beside it and their ratio.
#pragma once

#include <cstdio>

inline void TableHeader() {
    std::printf("%-64s %9s %-9s %8s  %8s  %s\n", "figure", "measured", "", "limit", "ratio",
                "goal");
}

// The figure's column is 64 characters wide; a character of several UTF-8
// bytes (the arrow) takes one place.
inline void Row(const char *figure, double value, const char *unit, double limit,
                const char *goal) {
    int width = 64;
    for (const char *c = figure; *c; ++c)
        width += (*c & 0xC0) == 0x80 ? 1 : 0;
    std::printf("%-*s %9.2f %-9s %8.2f  %6.1f %%  %s\n", width, figure, value, unit, limit,
                limit > 0 ? 100.0 * value / limit : 0.0, goal);
}
