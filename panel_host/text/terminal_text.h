// terminal_text: what panel_host may print of a text it did not write.
//
// Scenario lines, names from the installation, layout texts and the lines
// a module sends all end up on a terminal. A control character among them
// (an escape sequence that clears the screen or sets the window title, a
// carriage return that overwrites a line) would act on the terminal
// instead of being seen, so every such text passes through
// terminalSafe() first: control characters, C1 controls and bytes that are
// not UTF-8 (as utf8::decode reads it) are shown as escapes. Columns are
// counted as the terminal counts them: wide characters (CJK, most emoji)
// take two, combining marks none.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The text with every control character shown as an escape: "\t", "\r",
// "\n" (unless `keepNewlines`), "\x1b" for the other C0 controls and DEL,
// "\u009b" for C1 controls, "\xff" for a byte that is not part of valid
// UTF-8. Printable UTF-8 passes unchanged.
std::string terminalSafe(std::string_view text, bool keepNewlines = false);

// One step of terminalSafe(): appends the character at byte `at` of `text`
// (at < text.size()) as terminalSafe() shows it and returns the bytes taken.
// A byte that is not UTF-8 is taken alone. For writers that stop part way,
// such as shownText().
std::size_t appendSafe(std::string& out, std::string_view text, std::size_t at, bool keepNewlines = false);

// For messages that quote a word: terminalSafe(), and cut after `limit`
// characters with the length of the whole, e.g.
// "xxxxxxxx… (52428800 bytes)".
std::string shortened(std::string_view text, std::size_t limit = 60);

// Columns a UTF-8 text takes on a terminal (wide characters two,
// combining marks and other zero-width characters none).
std::size_t displayWidth(std::string_view text);

// Pads or cuts a UTF-8 text to exactly `width` columns ("…" or "~" marks a
// cut; a wide character that would straddle the edge becomes a blank).
std::string fitWidth(std::string_view text, std::size_t width, bool unicode);
