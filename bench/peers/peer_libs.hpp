// The peer libraries, included once here with the settings their packages expect, and the helpers the
// benchmarks share.
#pragma once

#include <benchmark/benchmark.h>

// Debian's SimpleIni is built against ICU for its wide-character classes; CSimpleIniA, the one used
// here, works on bytes either way.
#define SI_CONVERT_ICU
#include <INIReader.h>
#include <SimpleIni.h>
#include <glib.h>
#include <ini.h>

#include <boost/property_tree/ini_parser.hpp>
#include <boost/property_tree/ptree.hpp>
#include <string>

#include "peer_table.hpp"

namespace peers {

inline std::u16string u16(const std::string& s) {
    return {s.begin(), s.end()};
}

// Registers `body` (which runs the timed loop itself) as the benchmark of entry `name`.
template <class Body>
benchmark::internal::Benchmark* register_entry(const std::string& name, int repetitions, Body body) {
    return benchmark::RegisterBenchmark(name.c_str(), body)->Repetitions(repetitions)->UseRealTime();
}

void register_reads(table& t, int repetitions);
void register_edits(table& t, int repetitions);

}  // namespace peers
