// What a successful command in the common dialect must keep, whatever the model says: checked on the
// file before and after the command, so that a fault the model shares with twini is found all the same.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "common_lines.hpp"
#include "tarnwick/files/text_codec.hpp"
#include "twini_model.hpp"
#include "writer_model.hpp"

namespace fuzz::common {

class edit_check {
  public:
    // bom: a leading UTF-8 byte-order mark is passed over.
    edit_check(const std::string& before, const std::string& after, std::int16_t mode, bool bom,
               const std::vector<twini_model::op>& ops)
        : lf_(fuzz::lf_ends(mode, body(before, bom))),
          before_(split(body(before, bom), lf_)),
          after_(split(body(after, bom), lf_)),
          ops_(ops) {
        for (const auto& o : ops) {
            using twini_model::kind;
            if (o.what == kind::set || o.what == kind::del_key || o.what == kind::del_section)
                edited_.push_back(o.section);
            whole_ = whole_ || o.what == kind::del_section;
        }
    }

    // Every line outside the sections edited is still there, in the same order, byte for byte (the end
    // of a last line that had none aside, and a lone CR that an LF written right after it makes a CR LF).
    // A deleted section may take the comment and blank lines above its header along, so where one goes,
    // those are not counted.
    bool others_kept() const {
        std::string section;
        std::size_t at = 0;
        for (std::size_t i = 0; i < before_.size(); ++i) {
            if (before_.is_header(i)) section = before_.header(i);
            if (edited(section)) continue;
            if (whole_ && (before_.roles[i] == role::blank || before_.roles[i] == role::comment)) continue;
            const line& l = before_.ls[i];
            auto same = [&](const line& n) {
                return n.text == l.text &&
                       (n.end == l.end || l.end.empty() || (l.end == "\r" && n.end == "\r\n"));
            };
            while (at < after_.size() && !same(after_.ls[at])) ++at;
            if (at == after_.size()) return false;
            ++at;
        }
        return true;
    }

    // Read afresh, the sections not edited are the same, in the same order, and each holds the same
    // settings with the same values (a deleted section never gives another's later keys to its first
    // part).
    bool others_read_alike() const {
        const auto was = contents(before_), is = contents(after_);
        if (was != is && std::getenv("FUZZ_TWINI_EXPLAIN")) {
            for (const auto* c : {&was, &is}) {
                std::fprintf(stderr, "  contents:");
                for (const auto& [name, pairs] : *c) {
                    std::fprintf(stderr, " [%s]", name.c_str());
                    for (const auto& [k, v] : pairs) std::fprintf(stderr, " %s=%s;", k.c_str(), v.c_str());
                }
                std::fprintf(stderr, "\n");
            }
        }
        return was == is;
    }

    // Read afresh, the key that the last operation set has the value it was given.
    bool last_set_reads_back() const {
        const auto& o = ops_.back();
        if (o.what != twini_model::kind::set) return true;
        const auto s = find_section(after_, o.section);
        if (!s.found) return false;
        for (const auto& [name, i] : keys(after_, s)) {
            if (name == o.key) return after_.value(i) == o.value;
        }
        return false;
    }

  private:
    static std::string body(const std::string& file, bool bom) {
        return bom && file.starts_with(platform::utf8_bom) ? file.substr(platform::utf8_bom.size()) : file;
    }
    bool edited(const std::string& section) const {
        return std::find(edited_.begin(), edited_.end(), section) != edited_.end();
    }
    // The sections not edited, in order of first appearance, each with its settings as the lookups read
    // them.
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> contents(
        const reading& r) const {
        std::vector<std::string> names{""};
        for (std::size_t i = 0; i < r.size(); ++i) {
            if (r.is_header(i) && std::find(names.begin(), names.end(), r.header(i)) == names.end())
                names.push_back(r.header(i));
        }
        std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> all;
        for (const auto& name : names) {
            if (edited(name)) continue;
            std::vector<std::pair<std::string, std::string>> pairs;
            for (const auto& [key, i] : keys(r, find_section(r, name))) pairs.emplace_back(key, r.value(i));
            all.emplace_back(name, std::move(pairs));
        }
        return all;
    }

    bool lf_;
    reading before_, after_;
    std::vector<twini_model::op> ops_;
    std::vector<std::string> edited_;
    bool whole_ = false;
};

}  // namespace fuzz::common
