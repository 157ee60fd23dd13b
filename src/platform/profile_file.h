#pragma once
// Reader and writer of Windows-profile (INI) files for plain key=value lines.
//
// Reading: section and key names match without regard to ASCII case, white
// space around section names, key names and values is trimmed, and the first
// matching section and the first matching key in it win. A value wrapped in
// one pair of matching double or single quotes comes back without them. A
// UTF-8 byte order mark is skipped, and lines may end in LF or CRLF. Values are
// cut to 259 UTF-16 units of their UTF-8 text (a character outside the BMP
// counts 2; a character is never split). Lines before the first section and
// lines that are neither section headers nor key lines take no part; a line
// without '=' is a key with an empty value.
//
// Writing changes only the key's own line, or adds one line to the section, or
// adds the section at the end of the file; every other byte stays as it was.
// The file is replaced atomically through a temporary file in its folder.
//
// The functions keep no state and never throw; they are safe on any thread as
// long as no two threads write the same file at once.
#include <string>

namespace tarnel::platform {

// The leading decimal digits of the key's value as a number, wrapping modulo
// 2^32 when they overflow. A value that does not begin with a digit (a sign
// included) gives 0. The default, converted to unsigned, is returned when the
// file, the section or the key is missing, or the value is empty.
unsigned GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                              const std::string& file);

// The key's value, or the default when the file, the section or the key is
// missing. The default is returned as given (not trimmed or cut).
std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    const std::string& file);

// Sets the key to the value, creating the section or the file when they are
// missing. Lines added use the file's own line ending (CRLF when its first line
// ends with CRLF, LF otherwise). The file keeps its permission bits (and, where
// allowed, its owner); a symbolic link is followed and its target rewritten.
// Returns false, leaving the file and its folder as they were, when the file
// cannot be read or written, when it is not a regular file, or when a name or
// the value would not stay on its own line or could not be found again: a line
// break or NUL anywhere, an '=' in the key, a key that begins with '[', or a
// ']' in the section.
bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file);

}  // namespace tarnel::platform
