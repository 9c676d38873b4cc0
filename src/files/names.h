// Which entry names and client path components the file services accept,
// and the name an uploaded file is stored under. Windows gives some names a
// meaning of their own (devices, alternate data streams, trailing dots and
// blanks that fold away); both sets of rules are pure functions over the
// text, so either can be tested on any platform.
#pragma once
#include <string>

namespace files {

enum class NameRules { Posix, Windows };

// The rules of the file system the program runs on.
NameRules hostNameRules();

// A Windows device name: CON, PRN, AUX, NUL, COM0 to COM9, LPT0 to LPT9 (also
// with the digits ¹ ² ³), CONIN$ or CONOUT$, in any case, alone or followed by
// an extension, dots or blanks.
bool isDeviceName(const std::string& component);

// "." or "..", and under Windows rules any name that is nothing but dots and
// blanks: those name the folder itself or its parent, never an entry.
bool isDotName(const std::string& name, NameRules rules);

// The name a resumable upload's data has beside its destination until the
// last byte arrives: ".vantrel-partial-" and the upload's id.
std::string partialFileName(const std::string& id);
// Names of that form, in any case (Windows folds it): never listed, zipped,
// served, shared or touched by any route but the upload's own.
bool isReservedName(const std::string& name);

// Whether one segment of a client path may stand in it: no NUL, not ".."
// (under Windows rules nothing of dots and blanks alone but "."), not
// reserved, and under Windows rules no ":" and no device name. The one rule
// every client path and entry name passes.
bool isAllowedSegment(const std::string& segment, NameRules rules = hostNameRules());

// A single entry of a folder: an allowed segment that is not empty, holds no
// slash or backslash and is no dot name; under Windows rules it does not end
// in a dot or blank either.
bool isPlainName(const std::string& name, NameRules rules = hostNameRules());

// A name an entry may be given (made, renamed, stored): a plain name without
// control characters (C0, DEL); under Windows rules none of < > " | ? *
// either, which the system refuses.
bool isNewEntryName(const std::string& name, NameRules rules = hostNameRules());

// Longer than an entry's name may be: 255 bytes on Linux file systems, 255
// UTF-16 units on Windows ones (counted over valid UTF-8).
bool isNameTooLong(const std::string& name, NameRules rules = hostNameRules());

// Whether a client path (already normalised: slashes only, none leading)
// may be joined below the web root: every segment is allowed.
bool isAllowedClientPath(const std::string& relative, NameRules rules = hostNameRules());

// The name a file part is stored under: the characters that cannot appear
// in a file name become "_", a dot name becomes as many "_", a device name
// or a reserved name gets a leading "_", and nothing left gives "file.bin".
std::string sanitizeUploadName(const std::string& name, NameRules rules = hostNameRules());

}  // namespace files
