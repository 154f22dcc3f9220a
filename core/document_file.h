#pragma once

// The experiment file (.dpx): the document written through the object
// archive (core/archive.h). docs/file-format.md describes the byte layout.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace doseplex {

class CDoseplexDoc;

// The first string of a current file.
inline constexpr std::string_view kDocumentMarker = "qqcwl_xx2.0";

// Class names and the schemas this program writes.
inline constexpr std::string_view kDrugInfoClass = "CDrugInfo";
inline constexpr std::string_view kDoseDataClass = "CDoseData";
inline constexpr std::string_view kRawSheetClass = "CGXGridParam";
inline constexpr std::uint16_t kDrugInfoSchema = 1;
inline constexpr std::uint16_t kDoseDataSchema = 1;
inline constexpr std::uint16_t kRawSheetSchema = 1;

// Shown when a file of the previous generation (no marker) is read.
extern const char* const kVersion1Warning;
// Shown when the display parameters at the end of a file cannot be read; the
// file still opens.
extern const char* const kDisplayParametersMessage;

// True when `bytes` start with the marker string of a current file.
bool HasDocumentMarker(std::span<const std::uint8_t> bytes);

// Encodes `doc` in the current layout. Fails, with the reason in `error`,
// for a document that could not be read back: a record whose component count
// is 0 or above 20, a point whose count differs from its record's, or a
// component id outside the drug list.
bool WriteDocument(const CDoseplexDoc& doc, std::vector<std::uint8_t>& bytes,
                   std::string* error = nullptr);

// Decodes an experiment file of either generation into `doc`, which should be
// a new document: options the file does not hold keep the values `doc` has.
// Shows the version warning and the display-parameters message through the
// message sink. Fails, with the reason in `error`, for a damaged file or one
// that is not an experiment; `doc` then holds part of the file and should be
// thrown away.
bool ReadDocument(std::span<const std::uint8_t> bytes, CDoseplexDoc& doc,
                  std::string* error = nullptr);

} // namespace doseplex
