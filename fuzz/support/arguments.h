// The fuzz input as a command line: the arguments are the runs of bytes
// between NUL bytes, as the kernel hands them to main. A NUL at the very end
// closes the last argument; two NULs in a row make an empty argument.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexafuzz {

inline std::vector<std::string> SplitAtNul(const std::uint8_t *data, std::size_t size) {
    std::vector<std::string> args;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= size; ++i) {
        if (i == size && start == size)
            break;
        if (i == size || data[i] == 0) {
            args.emplace_back(reinterpret_cast<const char *>(data) + start, i - start);
            start = i + 1;
        }
    }
    return args;
}

} // namespace vexafuzz
