// The plain way to resolve "." and ".." by a path's text: split on '/', keep
// a stack of components. Slow and obviously right; the library's in-place
// resolver is checked against it.
#ifndef QUORVEL_TESTS_SUPPORT_DOT_REFERENCE_H
#define QUORVEL_TESTS_SUPPORT_DOT_REFERENCE_H

#include <string>
#include <vector>

inline std::string referenceResolveDots(const std::string &path) {
    if (path.empty()) return path;
    const bool absolute = path.front() == '/';
    std::vector<std::string> stack;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            // Above the root is the root; a relative path keeps the ".." it
            // cannot resolve.
            if (!stack.empty() && stack.back() != "..") {
                stack.pop_back();
                continue;
            }
            if (absolute) continue;
        }
        stack.push_back(part);
    }
    std::string out = absolute ? "/" : "";
    for (size_t k = 0; k < stack.size(); ++k) out += (k == 0 ? "" : "/") + stack[k];
    if (out.empty()) out = ".";
    if (path.back() == '/' && out.back() != '/') out += '/';
    return out;
}

#endif
