// Loading a file: its bytes are read into the tables' store, in pieces, and each piece is scanned for
// line ends and first "=" while it is still in the cache; every complete line is filed from the store
// as it is found. Nothing is copied or decoded per line.
#pragma once

#include "tables.hpp"
#include "tarnwick/files/file.hpp"
#include "tarnwick/files/line_reader.hpp"
#include "tarnwick/files/text_codec.hpp"

namespace tw_ini::detail {

// Files every line of `source`, read from its current offset to the end (a read that returns nothing),
// behind what the tables hold. A line ends at CR LF or a lone CR, and with line_ends::lf at a lone LF
// too; the terminator is not part of the line, and a final line without one is a line. The tables take
// the character set `set` says (as found: from the bytes read), and a UTF-8 byte-order mark at the start
// is no part of the first line unless the set is Windows-1252. Errors: the file system's for a failed
// read; 9 and 7 as the tables raise them. The lines before a failure stay filed.
void load_file(tables& t, platform::file& source, platform::line_ends ends, platform::encoding set);

}  // namespace tw_ini::detail
