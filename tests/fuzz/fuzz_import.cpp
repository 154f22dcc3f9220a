// Fuzz target: the "[start]" text import. Any input must be imported or
// refused without a fault; an imported experiment must save and read back.
#include "tests/fuzz/fuzz_support.h"

#include "core/document.h"
#include "core/document_file.h"
#include "core/message_sink.h"
#include "core/text_import.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace doseplex;
    static fuzz::CSilentSink sink;
    SetMessageSink(&sink);

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    CDoseplexDoc doc;
    CImportError error;
    if (!ImportText(in, doc, error)) {
        return 0;
    }
    std::vector<std::uint8_t> bytes;
    CDoseplexDoc back;
    if (!WriteDocument(doc, bytes) || !ReadDocument(bytes, back) ||
        back.DrugCount() != doc.DrugCount()) {
        std::fprintf(stderr, "fuzz_import: an imported experiment does not save and read back\n");
        std::abort();
    }
    return 0;
}
