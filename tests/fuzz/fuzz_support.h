#pragma once

// Pieces the fuzz targets share.

#include "core/document.h"
#include "core/document_file.h"
#include "core/message_sink.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace doseplex::fuzz {

// Swallows the messages a damaged or old file would show a user.
class CSilentSink : public IMessageSink {
public:
    void ShowMessage(const std::string& /*text*/) override {}
};

// Reads the fuzzer's bytes as an experiment file into `doc`, with every
// message silenced; false when the reader refuses them.
inline bool ReadQuietly(const std::uint8_t* data, std::size_t size, CDoseplexDoc& doc) {
    static CSilentSink sink;
    SetMessageSink(&sink);
    return ReadDocument(std::span<const std::uint8_t>(data, size), doc);
}

} // namespace doseplex::fuzz
