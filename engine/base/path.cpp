#include "engine/base/path.h"

#include <cstring>
#include <string>

#include "engine/base/strings.h"

namespace tessra {

int BuildFullPath(const char* path, char* out, const char* base, size_t outSize) {
    if (!out || outSize == 0 || !base) return -1;
    std::string result;
    auto finish = [&](int status) {
        if (result.size() + 1 > outSize) {
            out[0] = '\0';
            return -1;
        }
        std::memcpy(out, result.c_str(), result.size() + 1);
        return status;
    };
    if (!path) {
        result = base;
        return finish(0);
    }
    const char* rest = path;
    if (path[0] == '\\') {
        result.assign(base, strnlen(base, 2));
        rest = path + 1;
    } else if (path[0] != '\0' && path[1] == ':') {
        result.assign(path, 2);
        rest = path + 2;
        // '/' separates here as everywhere else, so "C:/x" is not an empty first component.
        if (*rest == '\\' || *rest == '/') ++rest;
    } else {
        result = base;
        if (!result.empty() && (result.back() == '\\' || result.back() == '/')) result.pop_back();
    }
    if (*rest == '\0') return finish(0);

    auto applyComponent = [&](const std::string& component) {
        if (component == ".") return;
        if (component == "..") {
            // Find the last boundary scanning forward, so a trail byte 0x5C is never one.
            size_t cut = std::string::npos;
            for (size_t i = 0; i < result.size(); ++i) {
                unsigned char c = static_cast<unsigned char>(result[i]);
                if (IsSjisLeadByte(c) && i + 1 < result.size()) {
                    ++i;
                    continue;
                }
                if (c == '\\' || c == '/')
                    cut = i;
                else if (c == ':')
                    cut = i + 1;  // the drive stays
            }
            result.resize(cut == std::string::npos ? 0 : cut);
            return;
        }
        result.push_back('\\');
        result += component;
    };

    std::string component;
    for (const char* p = rest; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (IsSjisLeadByte(c) && p[1] != '\0') {
            component.push_back(*p);
            component.push_back(*++p);
            continue;
        }
        if (c == '\\' || c == '/') {
            if (component.empty()) return finish(-1);
            applyComponent(component);
            component.clear();
            if (result.size() + 1 > outSize) return finish(-1);
            continue;
        }
        component.push_back(*p);
    }
    if (!component.empty()) applyComponent(component);
    return finish(0);
}

}  // namespace tessra
