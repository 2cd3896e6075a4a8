// String helpers with 1-based character positions.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Position (from 1) of the first occurrence of pattern in text at or after position start
// (values below 1 count as 1); 0 when there is none. An empty pattern is found at start itself
// as long as start <= length + 1, so Instr(s, "") is 1 for every s, the empty one included.
inline int Instr(std::string_view text, std::string_view pattern, int start = 1) {
    if (start < 1) start = 1;
    if (std::size_t(start) > text.size() + 1) return 0;
    const std::size_t at = text.find(pattern, std::size_t(start - 1));
    return at == std::string_view::npos ? 0 : int(at) + 1;
}

// The first n characters (all of them when n exceeds the length, none when n <= 0).
inline std::string Left(std::string_view text, int n) {
    if (n <= 0) return {};
    return std::string(text.substr(0, std::size_t(n)));
}

// The last n characters (all of them when n exceeds the length, none when n <= 0).
inline std::string Right(std::string_view text, int n) {
    if (n <= 0) return {};
    if (std::size_t(n) >= text.size()) return std::string(text);
    return std::string(text.substr(text.size() - std::size_t(n)));
}

// Up to n characters from position pos (from 1); n < 0 takes the rest. Positions before 1 shorten
// the count as if the text were padded in front.
inline std::string Mid(std::string_view text, int pos, int n = -1) {
    if (pos < 1) {
        if (n >= 0) n = n + pos - 1 < 0 ? 0 : n + pos - 1;
        pos = 1;
    }
    if (std::size_t(pos) > text.size()) return {};
    const std::string_view rest = text.substr(std::size_t(pos - 1));
    return std::string(n < 0 ? rest : rest.substr(0, std::size_t(n)));
}

// Every occurrence of `from` replaced by `to`, scanning left to right without rescanning the
// replacement; an empty `from` leaves the text unchanged.
inline std::string Replace(std::string_view text, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    for (std::size_t at; (at = text.find(from, i)) != std::string_view::npos;
         i = at + from.size()) {
        out.append(text, i, at - i);
        out.append(to);
    }
    out.append(text, i);
    return out;
}

// A Float as text the way the runtime prints numbers: "%#.9g", nine significant digits that
// keep the point and trailing zeros (2 gives "2.00000000", 1e-6 gives "9.99999997e-07").
inline std::string FloatToText(float value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%#.9g", double(value));
    return buf;
}
