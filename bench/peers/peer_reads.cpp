// Rows 1 to 3: loading a file, and looking settings up once it is loaded.
//
// A load is what a program does to get a file's settings into memory: make the library's object, parse
// the file into it, and free it again. Every peer builds its lookup structure while parsing; ours
// builds its name index on the first keyed query, so our reference for a load is a new control,
// ReadFile and the first RCS. Lighter ways to use ours are listed beside it: without the query, and a
// control that is kept and reloaded (its memory is kept for the next load), with and without the query.
#include <cstring>
#include <memory>

#include "peer_files.hpp"
#include "peer_libs.hpp"
#include "tw_ini/ini.hpp"

namespace peers {
namespace {

struct target {
    std::string path, section, key;
};

// inih's C interface keeps nothing: the program's handler picks out what it wants while the file is
// parsed, as in inih's own example.
struct wanted {
    const char* section;
    const char* name;
    std::string value;
    bool found = false;
};

int pick_setting(void* user, const char* section, const char* name, const char* value) {
    auto* w = static_cast<wanted*>(user);
    if (std::strcmp(section, w->section) == 0 && std::strcmp(name, w->name) == 0) {
        w->value = value;
        w->found = true;
    }
    return 1;
}

void register_loads(table& t, int repetitions, const std::string& row, const target& f) {
    const auto add = [&](const char* id, const char* label, const char* notes, auto body,
                         bool reference = false) {
        register_entry(t.add(row, id, label, notes, reference), repetitions, body)
            ->MinTime(0.2)
            ->Unit(benchmark::kMicrosecond);
    };
    const std::u16string path16 = u16(f.path), section16 = u16(f.section), key16 = u16(f.key);

    add(
        "tw_ini_first_query", "tw_ini: new control, ReadFile, first RCS",
        "builds the name index, as peers do while parsing",
        [=](benchmark::State& state) {
            for (auto _ : state) {
                auto control = std::make_unique<tw_ini::ini>();
                if (!control->ReadFile(path16) || control->RCS(section16, key16).empty())
                    state.SkipWithError("load");
            }
        },
        true);
    add("tw_ini_new", "tw_ini: new control, ReadFile", "", [=](benchmark::State& state) {
        for (auto _ : state) {
            auto control = std::make_unique<tw_ini::ini>();
            if (!control->ReadFile(path16)) state.SkipWithError("load");
        }
    });
    add("tw_ini_kept_first_query", "tw_ini: control kept between loads, ReadFile, first RCS", "",
        [=](benchmark::State& state) {
            tw_ini::ini control;
            for (auto _ : state) {
                if (!control.ReadFile(path16) || control.RCS(section16, key16).empty())
                    state.SkipWithError("load");
            }
        });
    add("tw_ini_kept", "tw_ini: control kept between loads, ReadFile", "", [=](benchmark::State& state) {
        tw_ini::ini control;
        for (auto _ : state) {
            if (!control.ReadFile(path16)) state.SkipWithError("load");
        }
    });

    add("inih_c", "inih C: ini_parse, handler picks one setting",
        "no table: the handler sees each setting once", [=](benchmark::State& state) {
            for (auto _ : state) {
                wanted w{f.section.c_str(), f.key.c_str(), {}, false};
                if (ini_parse(f.path.c_str(), pick_setting, &w) != 0 || !w.found) state.SkipWithError("load");
            }
        });
    add("inireader", "inih C++: INIReader", "", [=](benchmark::State& state) {
        for (auto _ : state) {
            INIReader reader(f.path);
            if (reader.ParseError() != 0) state.SkipWithError("load");
        }
    });
    add("simpleini", "SimpleIni: CSimpleIniA::LoadFile", "", [=](benchmark::State& state) {
        for (auto _ : state) {
            CSimpleIniA ini;
            if (ini.LoadFile(f.path.c_str()) < 0) state.SkipWithError("load");
        }
    });
    add("gkeyfile", "GLib: g_key_file_load_from_file", "", [=](benchmark::State& state) {
        for (auto _ : state) {
            GKeyFile* keys = g_key_file_new();
            if (!g_key_file_load_from_file(keys, f.path.c_str(), G_KEY_FILE_NONE, nullptr)) {
                state.SkipWithError("load");
            }
            g_key_file_free(keys);
        }
    });
    add("boost", "Boost.PropertyTree: read_ini", "", [=](benchmark::State& state) {
        for (auto _ : state) {
            boost::property_tree::ptree tree;
            boost::property_tree::read_ini(f.path, tree);
        }
    });
    t.add(row, "configparser", "Python configparser: ConfigParser.read", "separate process, timed by itself");
    add("floor", "floor: open, read(2) into a kept buffer, close", "no parsing: what any load costs at least",
        [=](benchmark::State& state) {
            std::vector<char> buffer(4u << 20);
            for (auto _ : state) benchmark::DoNotOptimize(bench::read_file_floor(f.path, buffer));
        });
}

// Each library's loaded full file, made on first use, outside any timing.
tw_ini::ini& loaded_ours() {
    static tw_ini::ini control;
    static const bool loaded = [] {
        control.ReadFile(u16(get().full));
        control.FindHeader(u"");  // builds the name index
        return true;
    }();
    (void)loaded;
    return control;
}

const INIReader& loaded_inireader() {
    static const INIReader reader(get().full);
    return reader;
}

const CSimpleIniA& loaded_simpleini() {
    static CSimpleIniA ini;
    static const bool loaded = ini.LoadFile(get().full.c_str()) >= 0;
    (void)loaded;
    return ini;
}

GKeyFile* loaded_gkeyfile() {
    static GKeyFile* const keys = [] {
        GKeyFile* made = g_key_file_new();
        g_key_file_load_from_file(made, get().full.c_str(), G_KEY_FILE_NONE, nullptr);
        return made;
    }();
    return keys;
}

const boost::property_tree::ptree& loaded_boost() {
    static const boost::property_tree::ptree tree = [] {
        boost::property_tree::ptree made;
        boost::property_tree::read_ini(get().full, made);
        return made;
    }();
    return tree;
}

// One row of lookups: of kLastKey (found) or kMissingKey (not found) in the last section.
void register_lookups(table& t, int repetitions, const std::string& row, const char* key) {
    const std::string section = kLastSection;
    const std::string expected = std::string(key) == kLastKey ? kLastValue : "";
    const auto add = [&](const char* id, const char* label, const char* notes, auto body,
                         bool reference = false) {
        register_entry(t.add(row, id, label, notes, reference), repetitions, body)->MinTime(0.2);
    };

    add(
        "tw_ini", "tw_ini: RCS", "",
        [=](benchmark::State& state) {
            tw_ini::ini& control = loaded_ours();
            const std::u16string h = u16(section), k = u16(key);
            for (auto _ : state) benchmark::DoNotOptimize(control.RCS(h, k));
            if (control.RCS(h, k) != u16(expected)) state.SkipWithError("wrong answer");
        },
        true);
    t.add_cannot(row, "inih_c", "inih C: ini_parse",
                 "keeps no table; its only lookup is a handler during the parse");
    add("inireader", "inih C++: INIReader::Get", "", [=](benchmark::State& state) {
        const INIReader& reader = loaded_inireader();
        for (auto _ : state) benchmark::DoNotOptimize(reader.Get(section, key, ""));
        if (reader.Get(section, key, "") != expected) state.SkipWithError("wrong answer");
    });
    add("simpleini", "SimpleIni: GetValue", "returns a pointer into its table: no copy",
        [=](benchmark::State& state) {
            const CSimpleIniA& ini = loaded_simpleini();
            for (auto _ : state) benchmark::DoNotOptimize(ini.GetValue(section.c_str(), key, nullptr));
            const char* value = ini.GetValue(section.c_str(), key, nullptr);
            if ((value ? value : "") != expected) state.SkipWithError("wrong answer");
        });
    add("gkeyfile", "GLib: g_key_file_get_string", "", [=](benchmark::State& state) {
        GKeyFile* keys = loaded_gkeyfile();
        for (auto _ : state) {
            gchar* value = g_key_file_get_string(keys, section.c_str(), key, nullptr);
            benchmark::DoNotOptimize(value);
            g_free(value);
        }
        gchar* value = g_key_file_get_string(keys, section.c_str(), key, nullptr);
        if ((value ? std::string(value) : "") != expected) state.SkipWithError("wrong answer");
        g_free(value);
    });
    add("boost", "Boost.PropertyTree: ptree::get", "", [=](benchmark::State& state) {
        const boost::property_tree::ptree& tree = loaded_boost();
        const std::string path = section + "." + key;
        for (auto _ : state) benchmark::DoNotOptimize(tree.get(path, std::string()));
        if (tree.get(path, std::string()) != expected) state.SkipWithError("wrong answer");
    });
    t.add(row, "configparser", "Python configparser: ConfigParser.get",
          "separate process; includes the loop's own cost");
}

}  // namespace

void register_reads(table& t, int repetitions) {
    const files& f = get();
    char title[128];
    std::snprintf(title, sizeof title,
                  "1. Load the full-capacity file (10,001 sections, 60,001 settings, %.2f MB, CR LF)",
                  static_cast<double>(f.full_bytes) / 1e6);
    t.add_row("load_full", title);
    register_loads(t, repetitions, "load_full", {f.full, kLastSection, kLastKey});
    t.add_row("load_small", "2. Load a 10-line file");
    register_loads(t, repetitions, "load_small", {f.small, "ui", "theme"});
    t.add_row("lookup_hit", "3a. Look up a setting of the last section, after loading the full file");
    register_lookups(t, repetitions, "lookup_hit", kLastKey);
    t.add_row("lookup_missing", "3b. Look up a missing setting of the last section");
    register_lookups(t, repetitions, "lookup_missing", kMissingKey);
}

}  // namespace peers
