// Preset files (".fwv"): one complete set of effect settings as plain text, so users can
// save the dialog's settings and load them again in any document.
//
// Layout: the 16-byte header "Max Frostweave1\n", then 46 lines "KEY VALUE COMMENT", where
// KEY is the four bytes of the key's code in little-endian order (so AtUp is written pUtA),
// and VALUE is a decimal byte, a signed 32-bit integer or a real with six decimals.
// Users edit these files by hand and share them, so the reader is lenient in the exact way
// existing files rely on:
//   - A line ends after the first byte that is a control character (tab excepted; tabs
//     count as spaces) or has its top bit set. A CR LF file therefore reads the LF as an
//     empty line of its own, and an accented letter in a comment ends the line there.
//   - Bytes after the last line end are dropped: a final line without a line feed is not
//     applied.
//   - Unknown keys, keys in the wrong case, lines starting with ';' and short lines are
//     ignored; a key given twice takes the later value; no value is range-checked.
//   - A value is the run (at most 64 characters) of "0123456789.,-eE" after the key; an
//     empty run is 0, so "+5" stores 0. Bytes keep the low 8 bits of the integer ("300"
//     stores 44), integers stop at the first non-digit ("12.7" is 12) and saturate at the
//     32-bit limits, reals stop at the first character that does not fit ("1,5" is 1).
//   - Lines longer than the 1024-byte line buffer keep their first 1022 characters; the
//     rest, up to the line end, is skipped. So a key never starts in the middle of a
//     long comment.
// Reals are written and read without the C library's locale or printf, so files are
// byte-identical on every platform and load in any host locale.
//
// The caller owns the FILE: WritePreset/ReadPreset neither open nor close it.
// LoadPresetFile/SavePresetFile are the whole Load/Save of a file, failing silently. They
// use C stdio, so paths go to fopen as given (on Windows: in the ANSI code page).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "params/effect_parameters.h"

namespace fw {

inline constexpr char kPresetHeader[] = "Max Frostweave1\n";
constexpr size_t kPresetHeaderSize = 16;
constexpr int kPresetLineCount = 46;
constexpr const char* kPresetExtension = ".fwv";

// The 46 lines (no header) exactly as WritePreset writes them.
std::string FormatPreset(const EffectParameters& p);

// Writes the 46 lines at the file's position. Returns false when a write fails.
bool WritePreset(const EffectParameters& p, FILE* file);

// Reads lines to the end of the file (positioned after the header) and applies each
// recognised one to `p`. Touches only the fields that have a line.
void ReadPreset(EffectParameters& p, FILE* file);

// ReadPreset over bytes in memory (the text after the header).
void ReadPresetText(EffectParameters& p, std::string_view text);

// How many bytes the header takes at the start of `bytes`, 0 when there is none. Files
// saved by Windows editors keep their content: the header may end in CR LF and follow a
// UTF-8 byte-order mark.
size_t PresetHeaderLength(std::string_view bytes);
// Whether `bytes` starts with a header.
bool HasPresetHeader(std::string_view bytes);

// The file name the dialog uses for a name the user chose: ".fwv" is appended to a name of
// four or more characters whose fourth character from the end is not '.'; shorter names
// stay as typed.
std::string PresetFileName(std::string_view chosen);

// Opens `path`, checks the header and reads the preset into `p`, then raises
// NeedsRegeneration. Returns false, with `p` untouched, when the file cannot be opened or
// does not start with the header (shorter files included).
bool LoadPresetFile(const std::string& path, EffectParameters& p);

// Creates or replaces `path` with the header and the 46 lines. Returns false when the
// file cannot be created or written (a partly written file may remain).
bool SavePresetFile(const std::string& path, const EffectParameters& p);

}  // namespace fw
