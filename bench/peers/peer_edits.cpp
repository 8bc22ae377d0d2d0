// Row 4: change one value in the last section of a 50 MB file and save it.
//
// Every edit starts from the same bytes: the file is restored and flushed before each repetition,
// outside the timing, so that a save that fsyncs waits for its own writes only; after it, the file is
// flushed again, outside the timing, so that a save that does not flush leaves no writes behind. Each
// repetition is one edit, from nothing in memory to the call that saves returning. Each library is timed as
// it saves by itself, and where it neither flushes nor replaces atomically, also with the flush a program
// would add.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "peer_files.hpp"
#include "peer_libs.hpp"
#include "penmoor/ini.hpp"

namespace peers {
namespace {

// True when the end of the edited file holds `value`: the edit reached the disk's copy of the file.
bool saved(const std::string& value) {
    const int fd = ::open(get().big_work.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char tail[256];
    const off_t size = ::lseek(fd, 0, SEEK_END);
    const ssize_t n = ::pread(fd, tail, sizeof tail, size > 256 ? size - 256 : 0);
    ::close(fd);
    return n > 0 && std::string(tail, static_cast<std::size_t>(n)).find(value) != std::string::npos;
}

// Registers one edit: `edit(path, value)` runs once per repetition, on a freshly restored file.
template <class Edit>
void add(table& t, int repetitions, const char* id, const char* label, const char* notes, Edit edit,
         bool reference = false) {
    register_entry(t.add("edit_big", id, label, notes, reference), repetitions,
                   [edit](benchmark::State& state) {
                       static int count = 0;
                       const std::string value = "changed " + std::to_string(++count);
                       restore_big();
                       for (auto _ : state) {
                           if (!edit(get().big_work, value)) state.SkipWithError("edit failed");
                       }
                       // Whatever the save left for the kernel to write is written now, not during
                       // whichever measurement comes next.
                       fsync_path(get().big_work);
                       if (!saved(value)) state.SkipWithError("value not in the saved file");
                   })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}

// SimpleIni's own save: fopen "wb" (truncate in place), write, fclose.
bool simpleini_edit(const std::string& path, const std::string& value) {
    CSimpleIniA ini;
    return ini.LoadFile(path.c_str()) >= 0 && ini.SetValue(kEditSection, kEditKey, value.c_str()) >= 0 &&
           ini.SaveFile(path.c_str()) >= 0;
}

// SimpleIni saving through its FILE* overload, flushed before the file is closed.
bool simpleini_fsync_edit(const std::string& path, const std::string& value) {
    CSimpleIniA ini;
    if (ini.LoadFile(path.c_str()) < 0 || ini.SetValue(kEditSection, kEditKey, value.c_str()) < 0)
        return false;
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = ini.SaveFile(out) >= 0 && std::fflush(out) == 0 && ::fsync(::fileno(out)) == 0;
    return std::fclose(out) == 0 && ok;
}

// SimpleIni saving the way penmoor does: a temporary file beside the target, flushed, renamed over the
// target, then the directory flushed.
bool simpleini_replace_edit(const std::string& path, const std::string& value) {
    CSimpleIniA ini;
    if (ini.LoadFile(path.c_str()) < 0 || ini.SetValue(kEditSection, kEditKey, value.c_str()) < 0)
        return false;
    const std::string temp = path + ".tmp";
    std::FILE* out = std::fopen(temp.c_str(), "wbx");
    if (!out) return false;
    bool ok = ini.SaveFile(out) >= 0 && std::fflush(out) == 0 && ::fsync(::fileno(out)) == 0;
    ok = std::fclose(out) == 0 && ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        std::remove(temp.c_str());
        return false;
    }
    const int dir = ::open(scratch_dir().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = dir >= 0 && ::fsync(dir) == 0;
    if (dir >= 0) ::close(dir);
    return ok;
}

// GKeyFile keeps comments and translations only when asked; a program that saves back asks.
bool gkeyfile_edit(const std::string& path, const std::string& value) {
    GKeyFile* keys = g_key_file_new();
    bool ok = g_key_file_load_from_file(
        keys, path.c_str(),
        static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS), nullptr);
    if (ok) {
        g_key_file_set_string(keys, kEditSection, kEditKey, value.c_str());
        ok = g_key_file_save_to_file(keys, path.c_str(), nullptr);
    }
    g_key_file_free(keys);
    return ok;
}

bool boost_edit(const std::string& path, const std::string& value) {
    boost::property_tree::ptree tree;
    boost::property_tree::read_ini(path, tree);
    tree.put(std::string(kEditSection) + "." + kEditKey, value);
    boost::property_tree::write_ini(path, tree);
    return true;
}

}  // namespace

void register_edits(table& t, int repetitions) {
    const files& f = get();
    char title[128];
    std::snprintf(title, sizeof title,
                  "4. Change one value in the last section of a %.1f MB file and save it",
                  static_cast<double>(f.big_bytes) / 1e6);
    t.add_row("edit_big", title);

    add(
        t, repetitions, "penmoor", "penmoor: updateSetting",
        "atomic: temporary file, fsync, rename, directory fsync; every other byte kept",
        [](const std::string& path, const std::string& value) {
            penmoor::ini writer;
            writer.File(u16(path));
            return writer.updateSetting(u16(kEditSection), u16(kEditKey), u16(value)) != 0;
        },
        true);
    t.add_cannot("edit_big", "inih", "inih (C and C++)", "reads only: no way to save");
    add(t, repetitions, "simpleini", "SimpleIni: LoadFile, SetValue, SaveFile",
        "truncates and rewrites in place; no fsync", simpleini_edit);
    add(t, repetitions, "simpleini_fsync", "SimpleIni, + fsync before fclose",
        "durable once it returns; a crash during the save leaves a partial file", simpleini_fsync_edit);
    add(t, repetitions, "simpleini_replace", "SimpleIni, saved as penmoor saves",
        "temporary file, fsync, rename, directory fsync (the program's code)", simpleini_replace_edit);
    add(t, repetitions, "gkeyfile", "GLib: g_key_file_load_from_file, set_string, save_to_file",
        "g_file_set_contents: temporary file, fsync, rename, directory fsync", gkeyfile_edit);
    add(t, repetitions, "boost", "Boost.PropertyTree: read_ini, put, write_ini",
        "truncates and rewrites in place; no fsync", boost_edit);
    add(t, repetitions, "boost_fsync", "Boost.PropertyTree, + fsync after write_ini",
        "durable once it returns; a crash during the save leaves a partial file",
        [](const std::string& path, const std::string& value) {
            const bool ok = boost_edit(path, value);
            fsync_path(path);
            return ok;
        });
    t.add("edit_big", "configparser", "Python configparser: read, set, write to open(path, \"w\")",
          "separate process; truncates and rewrites in place; no fsync");
    t.add("edit_big", "configparser_fsync", "Python configparser, + os.fsync before close",
          "separate process; durable once it returns; a crash during the save leaves a partial file");
}

}  // namespace peers
