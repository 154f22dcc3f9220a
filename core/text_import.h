#pragma once

#include <istream>
#include <string>

namespace doseplex {

class CDoseplexDoc;

// Why an import failed: the error number (1001..1011) and the context text
// that the message names (the file path or the set being read).
struct CImportError {
    int m_nCode = 0;
    std::string m_strContext;
};

// The whole message for an import error, starting "Import Error! ".
std::string ImportErrorMessage(const CImportError& error);

// Reads a "[start]" file. Only when the whole file is valid are its drugs and
// combinations appended to `doc` (which is then marked modified); otherwise
// `error` says why, the message is shown through the message sink, and the
// document is left as it was.
bool ImportTextFile(const std::string& path, CDoseplexDoc& doc, CImportError& error);

// The same for data already open as a stream (read in binary; CR LF pairs
// count as one line end).
bool ImportText(std::istream& in, CDoseplexDoc& doc, CImportError& error);

} // namespace doseplex
