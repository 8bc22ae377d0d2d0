#include "session.hpp"

#include <algorithm>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "rules.hpp"
#include "transaction.hpp"

namespace penmoor::session {
namespace {

using engine::dialect;
using verb = request::verb;

bool edits(std::span<const request> requests) {
    return std::ranges::any_of(requests,
                               [](const request& r) { return r.what == verb::set || r.what == verb::del; });
}

bool is_ascii(std::string_view s) {
    return std::ranges::all_of(s, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Gives each name once, in the order of first appearance.
class distinct final : public value_sink {
  public:
    explicit distinct(value_sink* out) : out_(out) {}
    void begin(std::string_view name) override {
        if (!out_ || !seen_.emplace(name).second) return;
        out_->begin(name);
        out_->end();
    }
    void piece(std::string_view) override {}
    void restart() override { seen_.clear(); }

  private:
    value_sink* out_;
    std::unordered_set<std::string> seen_;
};

// Gives what a request reads to its sink as UTF-8: bytes that are not ASCII as the file's character set
// says, found in the file when first needed.
class decoding final : public value_sink {
  public:
    decoding(value_sink* out, text_set& text) : out_(out), text_(text) {}
    void begin(std::string_view name) override { out_->begin(utf8(name)); }
    void piece(std::string_view bytes) override { out_->piece(utf8(bytes)); }
    void end() override { out_->end(); }
    void restart() override { out_->restart(); }

  private:
    std::string_view utf8(std::string_view bytes) {
        if (is_ascii(bytes)) return bytes;
        converted_ = platform::codec::to_utf8(bytes, text_.get());
        return converted_;
    }
    value_sink* out_;
    text_set& text_;
    std::string converted_;
};

// A section's settings in the common dialect, each key once, where it first stands, with the value of its
// last line (the one that counts): held until the pass ends, then given on.
class last_wins final : public value_sink {
  public:
    explicit last_wins(value_sink* out) : out_(out) {}
    void begin(std::string_view name) override {
        const auto [at, fresh] = index_.emplace(std::string(name), keys_.size());
        if (fresh) keys_.push_back({std::string(name), {}});
        current_ = at->second;
        keys_[current_].second.clear();
    }
    void piece(std::string_view text) override { keys_[current_].second.append(text); }
    void restart() override {
        index_.clear();
        keys_.clear();
    }
    // Gives every key and its value on.
    void flush() {
        for (const auto& [name, value] : keys_) {
            out_->begin(name);
            out_->piece(value);
            out_->end();
        }
    }

  private:
    value_sink* out_;
    std::unordered_map<std::string, std::size_t> index_;
    std::vector<std::pair<std::string, std::string>> keys_;
    std::size_t current_ = 0;
};

// A request in the file's bytes, and the stage that answers it.
struct staged {
    std::optional<std::string> section, key;
    std::string value;
    std::unique_ptr<decoding> decoded;
    std::unique_ptr<distinct> names;
    std::unique_ptr<last_wins> settings;     // a section's settings in the common dialect
    std::unique_ptr<section_stage> stage;    // every request but a list of the sections
    std::unique_ptr<engine::stage> headers;  // a list of the sections
};

// A name in the file's bytes; one that would be written is refused where it has none (rules.hpp). One that
// is only looked for is compared as it is: in a UTF-8 file by its bytes (those that are not UTF-8 among
// them, as the file keeps them and the requests give them), elsewhere as its characters, and where it has
// no bytes in the file's character set it cannot occur there: nothing (it is not found).
std::optional<std::string> bytes_of(const std::optional<std::string>& utf8, rules::part what,
                                    platform::encoding set, bool written) {
    if (!utf8) return std::nullopt;
    if (!written && set == platform::encoding::utf8) return utf8;
    try {
        return rules::bytes_of_utf8(*utf8, what, set);
    } catch (const refusal&) {
        if (written) throw;
        return std::nullopt;
    }
}

// The stages of the requests, in order, over the file the transaction reads; the edits on the guesses
// given (stages::guess).
std::vector<staged> stages_of(std::span<request> requests, transaction& t, const style& look,
                              const std::vector<stages::guess>& guesses) {
    const bool ascii = std::ranges::all_of(requests, [](const request& r) {
        return (!r.section || is_ascii(*r.section)) && (!r.key || is_ascii(*r.key)) && is_ascii(r.value);
    });
    const platform::format& f = t.format();
    // ASCII is the same bytes in every set: the file is not read for its set then.
    const platform::encoding set =
        ascii && f.text == platform::encoding::as_found ? platform::encoding::utf8 : t.text().get();
    const dialect rules = f.rules;
    std::vector<staged> all(requests.size());
    for (std::size_t i = 0; i < requests.size(); ++i) {
        request& r = requests[i];
        staged& s = all[i];
        const bool written = r.what == verb::set;
        s.section = bytes_of(r.section, rules::part::section, set, written);
        s.key = bytes_of(r.key, rules::part::key, set, written);
        if (r.what == verb::set) s.value = rules::bytes_of_utf8(r.value, rules::part::value, set);
        value_sink* out = nullptr;
        if (r.out) {
            s.decoded = std::make_unique<decoding>(r.out, t.text());
            out = s.decoded.get();
        }
        s.names = std::make_unique<distinct>(out);
        switch (r.what) {
            case verb::get:
                if (r.key) {
                    s.stage = stages::find_setting(rules, s.section, s.key, out, look.fold_case);
                } else if (rules == dialect::common && out) {
                    s.settings = std::make_unique<last_wins>(out);
                    s.stage = stages::find_section(rules, s.section, s.settings.get());
                } else {
                    s.stage = stages::find_section(rules, s.section, out);
                }
                break;
            case verb::list:
                if (r.section) {
                    s.stage = stages::find_section(rules, s.section, s.names.get());
                } else {
                    distinct* names = s.names.get();
                    s.headers = stages::headers(rules, [names](std::string_view n) { names->begin(n); });
                }
                break;
            case verb::set:
                s.stage =
                    r.key ? stages::set(rules, *s.section, *s.key, s.value,
                                        {r.existing_only, r.uncomment, r.section_first, look}, guesses[i])
                          : stages::add_header(rules, *s.section,
                                               {r.existing_only, false, r.section_first, look}, guesses[i]);
                break;
            case verb::del:
                s.stage = r.key ? stages::delete_setting(
                                      rules, s.section, s.key,
                                      rules == dialect::common ? reach::lookup : reach::first_occurrence,
                                      look.fold_case)
                                : stages::delete_header(rules, s.section, t.current(), look);
                break;
        }
    }
    return all;
}

// The core's verdict on each edit, given with its answer. The first edit that changes the file also
// answers for the line ends the copy is written with.
void check_edits(std::span<const request> requests, const std::vector<staged>& stages, transaction& t,
                 std::vector<answer>& answers) {
    bool ends_checked = false;
    for (std::size_t i = 0; i < requests.size(); ++i) {
        const request& r = requests[i];
        if (r.what != verb::set && r.what != verb::del) continue;
        const findings& f = stages[i].stage->found();
        const rules::edit what = r.what == verb::del
                                     ? (r.key ? rules::edit::remove_key : rules::edit::remove_section)
                                 : f.setting == search::found ? rules::edit::change
                                                              : rules::edit::add;
        const rules::subject s{r.section ? std::string_view(*r.section) : std::string_view(),
                               r.key ? std::optional<std::string_view>(*r.key) : std::nullopt};
        try {
            rules::check_edit(what, f, t.format(), t.ends(), s);
            if (f.changed && !ends_checked) {
                ends_checked = true;
                rules::check_line_ends(t.format(), t.found());
            }
        } catch (const refusal& why) {
            answers[i].refused = why;
        }
    }
}

// What the stages found, as answers.
std::vector<answer> answers_of(const std::vector<staged>& staged) {
    std::vector<answer> answers;
    for (const auto& s : staged) {
        if (s.settings) s.settings->flush();
        answer a;
        if (s.stage) {
            const findings& f = s.stage->found();
            a.section = f.header;
            a.key = f.setting == search::found;
            a.changed = f.changed;
            a.line_feed = f.line_feed;
        } else {
            a.section = true;
        }
        answers.push_back(a);
    }
    return answers;
}

// One pass that answers read-only requests.
std::vector<answer> look_up(transaction& t, std::span<request> requests, const style& look) {
    for (const request& r : requests) {
        if (r.what == verb::set || r.what == verb::del)
            throw platform::runtime_error(platform::err::invalid_call, "a lookup only reads");
    }
    std::vector<staged> staged = stages_of(requests, t, look, std::vector<stages::guess>(requests.size()));
    std::vector<engine::stage*> order;
    for (const auto& s : staged) order.push_back(s.stage ? s.stage.get() : s.headers.get());
    t.run(order, false, true);
    return answers_of(staged);
}

std::vector<answer> run_once(transaction& t, std::span<request> requests, bool editing, const options& how,
                             const std::function<bool(const std::vector<answer>&)>& accept) {
    if (requests.empty()) return {};
    // The pass, again on better guesses where an edit's guess proved wrong (each pass reads the same
    // lines, so this ends: a guess once right stays right).
    std::vector<stages::guess> guesses(requests.size());
    std::vector<staged> staged;
    for (std::size_t round = 0;; ++round) {
        staged = stages_of(requests, t, how.look, guesses);
        std::vector<engine::stage*> order;
        bool keeps_bytes = true;
        for (const auto& s : staged) {
            if (s.stage) {
                keeps_bytes = keeps_bytes && s.stage->keeps_bytes();
                order.push_back(s.stage.get());
            } else {
                order.push_back(s.headers.get());
            }
        }
        t.run(order, editing, keeps_bytes);
        bool again = false;
        for (std::size_t i = 0; i < staged.size(); ++i) {
            const auto better = staged[i].stage ? staged[i].stage->better_guess() : std::nullopt;
            if (!better || *better == guesses[i]) continue;
            guesses[i] = *better;
            again = true;
        }
        if (!again) break;
        if (round > requests.size()) {
            throw platform::runtime_error(platform::err::invalid_call,
                                          "the edits found no reading that holds");
        }
        t.keep(false);
        for (request& r : requests) {
            if (r.out) r.out->restart();
        }
    }
    std::vector<answer> answers = answers_of(staged);
    if (!editing) return answers;
    check_edits(requests, staged, t, answers);
    const auto refused = std::ranges::find_if(answers, [](const answer& a) { return a.refused.has_value(); });
    const bool changed = std::ranges::any_of(answers, [](const answer& a) { return a.changed; });
    if (!changed && refused == answers.end()) {
        t.keep(false);
        return answers;
    }
    const bool kept = accept(answers);
    if (kept && refused != answers.end()) throw *refused->refused;
    t.keep(kept && changed);
    if (kept && changed) t.commit();
    return answers;
}

}  // namespace

void check_text(std::span<const request> requests, const platform::format& format) {
    for (const request& r : requests) {
        if (r.what != verb::set) continue;
        rules::check_writable(*r.section, rules::part::section, format);
        if (!r.key) continue;
        rules::check_writable(*r.key, rules::part::key, format);
        rules::check_writable(r.value, rules::part::value, format);
    }
}

std::vector<answer> run(const std::string& path, const options& how, std::span<request> requests,
                        const std::function<bool(const std::vector<answer>&)>& accept) {
    check_text(requests, how.format);
    const bool editing = edits(requests);
    const auto mode = editing ? transaction::mode::edit : transaction::mode::read;
    return attempt(
        path, how.format, mode, {how.create, how.make_directories},
        [&](transaction& t) { return run_once(t, requests, editing, how, accept); },
        [&] {
            for (request& r : requests) {
                if (r.out) r.out->restart();
            }
        });
}

std::vector<answer> run(const std::string& path, const options& how, bool may_edit,
                        std::vector<request>& requests, const planner& plan,
                        const std::function<bool(const std::vector<answer>&)>& accept) {
    const auto mode = may_edit ? transaction::mode::edit : transaction::mode::read;
    return attempt(
        path, how.format, mode, {how.create, how.make_directories},
        [&](transaction& t) {
            requests.clear();
            plan([&](std::span<request> asked) { return look_up(t, asked, how.look); }, requests);
            if (!may_edit && edits(requests))
                throw platform::runtime_error(platform::err::invalid_call, "a plan for reading made an edit");
            check_text(requests, how.format);
            return run_once(t, requests, may_edit, how, accept);
        },
        [&] { requests.clear(); });
}

void replace_content(const std::string& path, std::string_view content) {
    // Every line of the file goes, and the content follows as it is.
    class replacer final : public engine::stage {
      public:
        explicit replacer(std::string_view content) : content_(content) {}
        void take(engine::line&&, engine::emitter&) override {}
        void finish(engine::emitter& out) override { out.raw(content_); }
        bool waiting() const override { return false; }
        bool done() const override { return false; }

      private:
        std::string_view content_;
    };
    const platform::format as_is{platform::line_ends_setting::as_found, platform::encoding::utf8,
                                 platform::ini::dialect::common};
    attempt(path, as_is, transaction::mode::edit, {}, [&](transaction& t) {
        replacer r(content);
        engine::stage* only = &r;
        t.run(std::span(&only, 1), true, true);
        t.keep(true);
        t.commit();
        return 0;
    });
}

}  // namespace penmoor::session
