// What each line is: the exact dialect's rules, the common dialect's (ini_line.hpp), and the value
// context that makes a common-dialect line go on with the value before it.
#include "pass_impl.hpp"
#include "tarnwick/files/line_end.hpp"

namespace penmoor::engine {

namespace ini = platform::ini;

line_info exact_info(std::string_view head, bool whole) {
    line_info info;
    if (!head.empty() && head.front() == '[') {
        info.what = kind::header;
        info.begins_section = true;
        if (whole && head.size() >= 2 && head.back() == ']') {
            info.name = head.substr(1, head.size() - 2);
            info.named = true;
        }
        return info;
    }
    if (const auto equals = head.find('='); equals != std::string_view::npos) {
        info.what = kind::setting;
        info.name = head.substr(0, equals);
        info.value_at = equals + 1;
        info.named = true;
    }
    return info;
}

line_info common_info(std::string_view head, bool bare_keys) {
    const ini::line_shape s = ini::shape_of(head, bare_keys);
    line_info info;
    info.what = s.what;
    info.indent = s.indent;
    info.name = s.name;
    info.named = s.what == kind::setting || s.what == kind::header;
    if (s.what == kind::setting) info.value_at = static_cast<std::size_t>(s.value.data() - head.data());
    info.begins_section = info.what == kind::header;
    info.backslash = ini::ends_with_backslash(head);
    return info;
}

line_info common_info(std::string_view head, const ini::shape_scanner::result& shape) {
    line_info info;
    info.what = shape.what;
    info.indent = shape.indent;
    info.begins_section = shape.what == kind::header;
    info.backslash = shape.backslash;
    if (shape.what == kind::header && shape.close < head.size()) {
        info.name = head.substr(shape.indent + 1, shape.close - shape.indent - 1);
        info.named = true;
    } else if (shape.what == kind::setting) {
        info.value_at = shape.value_at;
        if (shape.equals < head.size()) {
            info.name = ini::trimmed(head.substr(0, shape.equals));
            info.named = true;
        }
    }
    return info;
}

line_info in_context(ini::value_context& value, line_info info, bool backslash) {
    if (ini::continues_value(value, info.what, info.indent, backslash)) {
        info.continuation = true;
        info.begins_section = false;
        info.named = false;
        info.name = {};
        info.value_at = info.indent;
    }
    info.backslash = backslash;
    info.after = value;
    return info;
}

void context_scanner::end_line(const ini::shape_scanner::result& shape) {
    ini::continues_value(value_, shape.what, shape.indent, shape.backslash);
}

void context_scanner::add(std::string_view bytes) {
    if (after_cr_ && !bytes.empty() && bytes.front() == '\n') bytes.remove_prefix(1);
    after_cr_ = false;
    while (!bytes.empty()) {
        const char* end = platform::line_end::first(bytes.data(), bytes.size(), lf_);
        const std::size_t n = end ? static_cast<std::size_t>(end - bytes.data()) : bytes.size();
        if (!end) {
            scanner_.add(bytes);  // a line that the next piece goes on with
            partial_ = true;
            return;
        }
        if (partial_) {
            scanner_.add(bytes.substr(0, n));
            end_line(scanner_.finish());
            scanner_ = ini::shape_scanner(bare_keys_);
            partial_ = false;
        } else {
            const std::string_view line = bytes.substr(0, n);
            const ini::line_shape s = ini::shape_of(line, bare_keys_);
            ini::continues_value(value_, s.what, s.indent, ini::ends_with_backslash(line));
        }
        const std::size_t length = platform::line_end::length(bytes, n);
        after_cr_ = bytes[n] == '\r' && n + 1 == bytes.size();
        bytes.remove_prefix(n + length);
    }
}

}  // namespace penmoor::engine
