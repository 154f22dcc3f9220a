#pragma once

#include <cstdint>
#include <istream>
#include <span>
#include <string>

namespace doseplex {

class CDoseplexDoc;

// Why an import failed: the error number (1001..1011) and the context text
// that the message names (the file path or the set being read).
struct CImportError {
    int m_nCode = 0;
    std::string m_strContext;
    // Why the file could not be opened or read (error 1001), as the system
    // says it ("Permission denied", "it is a folder"); may be empty.
    std::string m_strReason;
};

// The whole message for an import error, starting "Import Error! ". For
// error 1001 the reason, when known, follows on a line of its own.
std::string ImportErrorMessage(const CImportError& error);

// Reads a "[start]" file. Only when the whole file is valid are its drugs and
// combinations appended to `doc` (which is then marked modified); otherwise
// `error` says why, the message is shown through the message sink, and the
// document is left as it was.
// The file is read whole first, and one larger than kMaxInputBytes is refused
// with error 1001.
bool ImportTextFile(const std::string& path, CDoseplexDoc& doc, CImportError& error);

// The same for the bytes of a file already read.
bool ImportTextBytes(std::span<const std::uint8_t> bytes, CDoseplexDoc& doc, CImportError& error);

// The same for data already open as a stream (read in binary; CR LF pairs
// count as one line end).
bool ImportText(std::istream& in, CDoseplexDoc& doc, CImportError& error);

} // namespace doseplex
