// Fuzz target: the experiment-file reader. Any input must be read or refused
// without a fault; whatever is read must write and read back unchanged.
#include "tests/fuzz/fuzz_support.h"

#include "core/document.h"
#include "core/document_file.h"
#include "core/message_sink.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace {

[[noreturn]] void Stop(const char* what) {
    std::fprintf(stderr, "fuzz_dpx: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace doseplex;
    CDoseplexDoc doc;
    if (!fuzz::ReadQuietly(data, size, doc)) {
        return 0;
    }
    std::vector<std::uint8_t> first;
    if (!WriteDocument(doc, first)) {
        Stop("a document that was read cannot be written");
    }
    CDoseplexDoc again;
    if (!ReadDocument(first, again)) {
        Stop("a written document cannot be read");
    }
    std::vector<std::uint8_t> second;
    if (!WriteDocument(again, second) || second != first) {
        Stop("write, read, write changes the bytes");
    }
    return 0;
}
