// "." and ".." resolved by a path's text, in place, against the plain
// component-stack resolver: any bytes, any separators, any dots.
#include <cstdlib>
#include <string>

#include "platform/posix/native_path.h"
#include "tests/support/dot_reference.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string path(reinterpret_cast<const char *>(data), size);
    // The library resolves terminated text: a path ends at its first NUL.
    path.resize(path.find('\0') == std::string::npos ? path.size() : path.find('\0'));
    const std::string expected = referenceResolveDots(path);
    std::string buffer = path;
    buffer.push_back(0);
    const size_t n = quorvel::platform::resolveDots(buffer.data(), path.size());
    if (n > path.size() || buffer[n] != 0 || buffer.compare(0, n, expected) != 0 || n != expected.size()) std::abort();
    return 0;
}
