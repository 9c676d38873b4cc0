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

// A single entry of a folder: not empty, no "..", slash, backslash or NUL,
// not a dot name, not reserved, and under Windows rules no ":" and no
// device name.
bool isPlainName(const std::string& name, NameRules rules = hostNameRules());

// Whether a client path (already normalised: slashes only, none leading)
// may be joined below the web root: no "..", no NUL, no reserved component,
// and under Windows rules no ":" and no component that is a device name.
bool isAllowedClientPath(const std::string& relative, NameRules rules = hostNameRules());

// The name a file part is stored under: the characters that cannot appear
// in a file name become "_", a dot name becomes as many "_", a device name
// or a reserved name gets a leading "_", and nothing left gives "file.bin".
std::string sanitizeUploadName(const std::string& name, NameRules rules = hostNameRules());

}  // namespace files
