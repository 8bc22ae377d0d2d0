// The table of the peer benchmark: rows (operations), and in each row one entry per library or way of
// using it, each with the per-operation times of its repetitions. Entries are filled from the Google
// Benchmark runs of this process and from the figures the configparser script prints.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace peers {

struct entry {
    std::string name;             // "<row>/<id>": the benchmark's name, and the key the script prints
    std::string label;            // library and how it is used
    std::string notes;            // durability and anything that makes the figure differ in kind
    bool reference = false;       // ours: what the row's ratios divide by
    std::string cannot;           // when the library cannot do the operation: why
    std::vector<double> wall_ns;  // time of one operation, one figure per repetition
    std::vector<double> cpu_ns;   // CPU time of the thread for one operation, likewise
};

struct row {
    std::string key;
    std::string title;
    std::vector<entry> entries;
};

class table {
  public:
    void add_row(std::string key, std::string title);
    // Adds an entry to the row `row_key` and returns its name, "<row_key>/<id>".
    std::string add(const std::string& row_key, const std::string& id, std::string label, std::string notes,
                    bool reference = false);
    void add_cannot(const std::string& row_key, const std::string& id, std::string label, std::string why);

    // Files one repetition's times under the entry of that name; unknown names are ignored.
    void record_wall(const std::string& name, double ns);
    void record_cpu(const std::string& name, double ns);

    // The table in Markdown: per row, each entry's median wall-clock and CPU time, its number of
    // repetitions, and each median divided by the same median of the row's reference.
    void print_markdown(std::FILE* out) const;

  private:
    std::vector<row> rows_;
    std::map<std::string, entry*> by_name_;

    row& find_row(const std::string& key);
};

double median(std::vector<double> values);

}  // namespace peers
