#include "peer_table.hpp"

#include <algorithm>
#include <cstdlib>

namespace peers {

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

void table::add_row(std::string key, std::string title) {
    rows_.push_back({std::move(key), std::move(title), {}});
    // Entries are reached through pointers: reserve so that adding to a row never moves them.
    rows_.back().entries.reserve(32);
}

row& table::find_row(const std::string& key) {
    for (row& r : rows_) {
        if (r.key == key) return r;
    }
    std::fprintf(stderr, "peer_bench: no row %s\n", key.c_str());
    std::abort();
}

std::string table::add(const std::string& row_key, const std::string& id, std::string label,
                       std::string notes, bool reference) {
    row& r = find_row(row_key);
    if (r.entries.size() == r.entries.capacity()) std::abort();
    entry e;
    e.name = row_key + "/" + id;
    e.label = std::move(label);
    e.notes = std::move(notes);
    e.reference = reference;
    r.entries.push_back(std::move(e));
    by_name_[r.entries.back().name] = &r.entries.back();
    return r.entries.back().name;
}

void table::add_cannot(const std::string& row_key, const std::string& id, std::string label,
                       std::string why) {
    add(row_key, id, std::move(label), "");
    by_name_[row_key + "/" + id]->cannot = std::move(why);
}

void table::record_wall(const std::string& name, double ns) {
    const auto it = by_name_.find(name);
    if (it != by_name_.end()) it->second->wall_ns.push_back(ns);
}

void table::record_cpu(const std::string& name, double ns) {
    const auto it = by_name_.find(name);
    if (it != by_name_.end()) it->second->cpu_ns.push_back(ns);
}

namespace {

std::string format_time(double ns) {
    char text[32];
    if (ns < 1e3) {
        std::snprintf(text, sizeof text, "%.1f ns", ns);
    } else if (ns < 1e6) {
        std::snprintf(text, sizeof text, "%.2f us", ns / 1e3);
    } else if (ns < 1e9) {
        std::snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
    } else {
        std::snprintf(text, sizeof text, "%.2f s", ns / 1e9);
    }
    return text;
}

std::string format_ratio(double value, double reference) {
    if (reference <= 0 || value <= 0) return "";
    char text[32];
    std::snprintf(text, sizeof text, value / reference < 10 ? "%.2f" : "%.0f", value / reference);
    return text;
}

}  // namespace

void table::print_markdown(std::FILE* out) const {
    std::fprintf(out,
                 "| operation / library | median | median CPU | runs | time / ours | CPU / ours | notes |\n");
    std::fprintf(out, "|---|---:|---:|---:|---:|---:|---|\n");
    for (const row& r : rows_) {
        std::fprintf(out, "| **%s** | | | | | | |\n", r.title.c_str());
        double wall_reference = 0, cpu_reference = 0;
        for (const entry& e : r.entries) {
            if (e.reference && !e.wall_ns.empty()) {
                wall_reference = median(e.wall_ns);
                cpu_reference = median(e.cpu_ns);
            }
        }
        for (const entry& e : r.entries) {
            const std::string label = e.reference ? "**" + e.label + "**" : e.label;
            if (!e.cannot.empty()) {
                std::fprintf(out, "| %s | cannot | | | | | %s |\n", label.c_str(), e.cannot.c_str());
                continue;
            }
            if (e.wall_ns.empty()) {
                std::fprintf(out, "| %s | not run | | | | | %s |\n", label.c_str(), e.notes.c_str());
                continue;
            }
            const double wall = median(e.wall_ns), cpu = median(e.cpu_ns);
            const std::string wall_ratio = e.reference ? "1 (ours)" : format_ratio(wall, wall_reference);
            const std::string cpu_ratio = e.reference ? "1 (ours)" : format_ratio(cpu, cpu_reference);
            std::fprintf(out, "| %s | %s | %s | %zu | %s | %s | %s |\n", label.c_str(),
                         format_time(wall).c_str(), e.cpu_ns.empty() ? "" : format_time(cpu).c_str(),
                         e.wall_ns.size(), wall_ratio.c_str(), cpu_ratio.c_str(), e.notes.c_str());
        }
    }
}

}  // namespace peers
