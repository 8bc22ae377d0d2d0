// The queries: by name through the index, by position straight from the slots; in Dialect 1 through the
// merged view, where a section's occurrences are one section and a key's last setting counts.
#include "state.hpp"

namespace tw_ini {
namespace {

// Setting slot `Position` of header k, or -1 when the header has no setting there.
std::int32_t slot_at(const detail::tables& t, std::int32_t k, std::int32_t Position) {
    const detail::header_slot& h = t.header(k);
    if (Position < 0 || Position >= h.count) return -1;
    return h.start + Position;
}

}  // namespace

platform::string ini::RCS(const platform::string& Headername, const platform::string& setting) {
    const detail::tables& t = state_->tables;
    if (state_->merged()) {
        const std::int32_t i = state_->view.find(Headername);
        const std::int32_t s = i < 0 ? -1 : state_->view.find_setting(i, setting);
        return s < 0 ? platform::string() : t.decoded(t.setting_value(s));
    }
    const std::int32_t k = state_->header_named(Headername);
    if (k < 0 || t.header(k).count == 0) return {};
    const std::int32_t s = state_->index.find_setting(t, k, detail::name_key(setting, t.encoding()));
    if (s < 0) return {};
    return t.decoded(t.setting_value(s));
}

std::int32_t ini::GetSettings(const platform::string& Headername) {
    const detail::tables& t = state_->tables;
    if (state_->merged()) {
        const std::int32_t i = state_->view.find(Headername);
        return i < 0 ? 0 : state_->view.key_count(i) - 1;
    }
    const std::int32_t k = state_->header_named(Headername);
    if (k < 0) return 0;
    return t.header(k).count - 1;
}

platform::string ini::ReadAtPosition(const platform::string& Headername, const std::int32_t& Position) {
    const detail::tables& t = state_->tables;
    if (state_->merged()) {
        const std::int32_t i = state_->view.find(Headername);
        const std::int32_t s = i < 0 ? -1 : state_->view.setting_at(i, Position);
        return s < 0 ? platform::string() : t.decoded(t.setting_value(s));
    }
    const std::int32_t k = state_->header_named(Headername);
    if (k < 0) return {};
    const std::int32_t s = slot_at(t, k, Position);
    if (s < 0) return {};
    return t.decoded(t.setting_value(s));
}

platform::string ini::SettingAtPosition(const platform::string& Headername, const std::int32_t& Position) {
    const detail::tables& t = state_->tables;
    if (state_->merged()) {
        const std::int32_t i = state_->view.find(Headername);
        const std::int32_t s = i < 0 ? -1 : state_->view.setting_at(i, Position);
        return s < 0 ? platform::string() : t.decoded(t.setting_name(s));
    }
    const std::int32_t k = state_->header_named(Headername);
    if (k < 0) return {};
    const std::int32_t s = slot_at(t, k, Position);
    if (s < 0) return {};
    return t.decoded(t.setting_name(s));
}

std::int32_t ini::GetNumberOfHeaders() {
    if (state_->merged()) return state_->view.section_count() - 1;
    return state_->tables.header_count() - 1;
}

platform::string ini::GetHeaderAtPosition(const std::int32_t& Position) {
    const detail::tables& t = state_->tables;
    if (state_->merged()) {
        if (Position < 0 || Position >= state_->view.section_count()) return {};
        return t.decoded(t.header_name(state_->view.header_of(Position)));
    }
    if (Position < 0 || Position >= t.header_count()) return {};
    return t.decoded(t.header_name(Position));
}

platform::boolean ini::FindHeader(const platform::string& Headername) {
    if (state_->merged()) return state_->view.find(Headername) >= 0 ? platform::True : platform::False;
    return state_->header_named(Headername) >= 0 ? platform::True : platform::False;
}

platform::boolean ini::AddHeader(const platform::string& Headername) {
    return FindHeader(Headername) == platform::False ? platform::True : platform::False;
}

}  // namespace tw_ini
