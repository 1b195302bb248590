// recording_file: a recording (--record, the browser view's Record button)
// is written whole or not at all. The text goes to a new file in the same
// folder, is flushed to the disk, and only then renamed over the old file,
// so that a full disk, a file size limit or `kill -9` halfway through a
// write never leaves an empty or cut recording where a whole one was: the
// file named is always either the previous recording or the new one. A
// write killed halfway leaves its hidden ".NAME.XXXXXX" file behind, never
// NAME itself.
//
// A link is followed: the file it names is replaced, the link kept.
#pragma once

#include <string>

// Puts `text` at `path` as said above. False, with `error` naming the path,
// the reason and that the file there is left as it was, when it cannot.
bool replaceFile(const std::string& path, const std::string& text, std::string& error);

// Whether replaceFile() could put a file at `path` (its folder takes a new
// file, and `path` is no folder), leaving whatever is there untouched.
// False, with `error`, when it could not.
bool canReplaceFile(const std::string& path, std::string& error);
