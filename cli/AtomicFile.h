#pragma once
#include <string>

namespace kalvero {

// A file written whole or not at all: the text goes to a temporary file in
// the same folder ("NAME.tmp-PID-N", hidden behind a leading dot), which is
// renamed over the final name only once it is complete and flushed to disk.
// A crash or a full disk leaves the previous file as it was.

// Writes `text` to `path` that way. False with `error` set to the reason
// (the temporary file is removed).
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

// A temporary name beside `path` for a file to be renamed over it later:
// the same folder and extension (encoders pick the format by it).
std::string TemporaryNameFor(const std::string& path);

// Makes sure a file can be created in `path`'s folder (a temporary one is
// created and removed again), without touching `path` itself. False with
// `error` set to the reason.
bool CanCreateBeside(const std::string& path, std::string& error);

// Renames `from` over `to`. False with `error` set; `from` is removed then.
bool RenameInto(const std::string& from, const std::string& to, std::string& error);

}  // namespace kalvero
