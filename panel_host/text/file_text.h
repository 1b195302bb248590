// file_text: a whole file (or stream) read into memory, with the messages
// panel_host gives when it cannot be.
#pragma once

#include <istream>
#include <string>

// Reads everything `in` holds into `text` (appended). False on a read error.
bool readWholeStream(std::istream& in, std::string& text);

// Reads the file at `path` into `text`. False, with `error`, when it cannot:
// "cannot read WHAT PATH", "...: it is a folder" or "...: read error".
bool readWholeFile(const std::string& path, std::string& text, std::string& error, const std::string& what = "file");
