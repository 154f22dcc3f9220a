// Reader of the tab-separated "[start]" import format.
#include "core/text_import.h"

#include "core/document.h"
#include "core/encoding.h"
#include "core/file_io.h"
#include "core/message_sink.h"
#include "core/number_text.h"

#include <array>
#include <climits>
#include <cmath>
#include <streambuf>
#include <vector>

namespace doseplex {

namespace {

constexpr int kMaxSets = 20;
constexpr int kMaxDrugs = 20;
constexpr int kMinDoses = 2;
constexpr int kMaxDoses = 40;
// Longest word kept while looking for the marker; longer words are skipped.
constexpr size_t kMaxWord = 5000;
// Longest field text kept (names, units); the rest of a longer field is read
// and dropped, so no input can make the reader hold more than this per field.
constexpr size_t kMaxFieldText = 4096;

const char* const kMessagePrefix = "Import Error! \n\nCannot Import File.\n\n";

const char* ErrorText(int code) {
    switch (code) {
    case 1001:
        return "Error 1001. \nCould not open file: ";
    case 1002:
        return "Error 1002. \nEnd of File reached, Could not find start of data.\nFile must "
               "contain tab separated text. \n[start] must be included on the line before the "
               "first Set of drug data begins.";
    case 1003:
        return "Error 1003. \nEnd of File reached before data is complete.\nProblem occurred "
               "in: ";
    case 1004:
        return "Error 1004. \nInvalid number of drugs entered. \nThere must be between 1 and 20 "
               "drugs in each Set. \nProblem occurred in: ";
    case 1005:
        return "Error 1005. \nInvalid number of doses entered. \nThere must be between 2 and 40 "
               "doses for each drug in a Set. \nProblem occurred in: ";
    case 1006:
        return "Error 1006. \nInvalid (or missing) ratio. Ratios must be expressed as integers. "
               "\nProblem occurred in: ";
    case 1007:
        return "Error 1007. \nInvalid number of sets of drug data entered. This number (>=1 "
               "<=20) should appear after [start] - separated by a tab.";
    case 1008:
        return "Error 1008. \nInvalid Dose entered. \nDoses must be more than zero. \nProblem "
               "occurred in: ";
    case 1009:
        return "Error 1009. \nInvalid Effect entered. \nEffects must be more than 0 and less "
               "than 1. \nProblem occurred in: ";
    case 1010:
        return "Error 1010. \nInvalid Dose entered for Combined drug. \nDoses must be more than "
               "zero. \nProblem occurred in: ";
    case 1011:
        return "Error 1011. \nInvalid Effect entered for Combined drug. \nEffects must be more "
               "than 0 and less than 1. \nProblem occurred in: ";
    default:
        return "";
    }
}

bool IsSpace(int c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsTerminator(int c) {
    return c == '\t' || c == '\n' || c == '\r';
}

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsSpace(static_cast<unsigned char>(text[begin]))) {
        ++begin;
    }
    while (end > begin && IsSpace(static_cast<unsigned char>(text[end - 1]))) {
        --end;
    }
    return text.substr(begin, end - begin);
}

// Leading optional sign and decimal digits after white space; no digits give
// 0. Values beyond the int range saturate.
long long LeadingInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), LLONG_MAX / 20);
    }
    return negative ? -value : value;
}

// A leading decimal floating-point number after white space ("1.5e-3x" gives
// 0.0015); no number gives 0. Infinity, NaN and hexadecimal forms are not
// numbers here. A value too large for a double gives infinity.
double ParseReal(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(static_cast<unsigned char>(text[i]))) {
        ++i;
    }
    const auto number = ReadDecimal(std::string_view(text).substr(i));
    return number ? number->value : 0.0;
}

struct CFileSet {
    std::string name;
    int drugs = 0;
    int doses = 0;
    std::string units;
    std::array<double, kMaxDrugs> ratio{};
    std::array<std::string, kMaxDrugs> drugNames;
    std::array<std::array<double, kMaxDoses>, kMaxDrugs> drugDoses{};
    std::array<std::array<double, kMaxDoses>, kMaxDrugs> drugEffects{};
    std::string combinationName;
    std::array<double, kMaxDoses> combinationDoses{};
    std::array<double, kMaxDoses> combinationEffects{};
};

struct CImportFailure {
    int code;
};

class CImportReader {
public:
    explicit CImportReader(std::istream& in) : m_buf(*in.rdbuf()) {}

    std::vector<CFileSet> Read() {
        SkipByteOrderMark();
        FindStart();
        if (Get() == EOF) {
            throw CImportFailure{1002};
        }
        const long long sets = LeadingInteger(ExactField());
        if (sets < 1 || sets > kMaxSets) {
            throw CImportFailure{1007};
        }
        std::vector<CFileSet> result(static_cast<size_t>(sets));
        for (CFileSet& set : result) {
            ReadSet(set);
        }
        return result;
    }

    const std::string& Context() const { return m_context; }

private:
    // One character, with a CR LF pair read as a single LF.
    int Get() {
        const int c = m_buf.sbumpc();
        if (c == '\r' && m_buf.sgetc() == '\n') {
            return m_buf.sbumpc();
        }
        return c == std::char_traits<char>::eof() ? EOF : c;
    }
    int Peek() {
        const int c = m_buf.sgetc();
        return c == std::char_traits<char>::eof() ? EOF : c;
    }

    void SkipByteOrderMark() {
        static const char bom[] = "\xEF\xBB\xBF";
        for (int i = 0; i < 3; ++i) {
            if (Peek() != static_cast<unsigned char>(bom[i])) {
                // A partial mark belongs to the first word, which then
                // cannot be the marker.
                m_partialMark = i > 0 && Peek() != EOF && !IsSpace(Peek());
                return;
            }
            m_buf.sbumpc();
        }
    }

    // Reads whitespace-separated words until one equals "[start]" regardless
    // of case. The character after the word stays unread.
    void FindStart() {
        static const std::string marker = "[start]";
        for (;;) {
            int c = Peek();
            while (c != EOF && IsSpace(c)) {
                m_buf.sbumpc();
                c = Peek();
            }
            if (c == EOF) {
                throw CImportFailure{1002};
            }
            std::string word;
            bool tooLong = m_partialMark;
            m_partialMark = false;
            while (c != EOF && !IsSpace(c)) {
                m_buf.sbumpc();
                if (word.size() < kMaxWord) {
                    word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
                } else {
                    tooLong = true;
                }
                c = Peek();
            }
            if (!tooLong && word == marker) {
                return;
            }
        }
    }

    // The next field, taken exactly: the text up to its terminator (TAB, LF
    // or CR), without the terminator. `empty` tells whether it was the
    // terminator alone.
    std::string Field(bool& empty) {
        std::string text;
        for (;;) {
            const int c = Get();
            if (c == EOF) {
                throw CImportFailure{1003};
            }
            if (IsTerminator(c)) {
                empty = text.empty();
                if (text.size() > kMaxFieldText) {
                    CutAtCharacter(text);
                }
                return text;
            }
            // One byte more than kept tells a cut field from a full one.
            if (text.size() <= kMaxFieldText) {
                text += static_cast<char>(c);
            }
        }
    }

    // Cuts an over-long field to kMaxFieldText bytes without splitting a
    // UTF-8 character, so a UTF-8 text stays valid UTF-8.
    static void CutAtCharacter(std::string& text) {
        size_t cut = kMaxFieldText;
        const auto isContinuation = [&](size_t at) {
            return (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
        };
        while (cut > kMaxFieldText - 3 && isContinuation(cut)) {
            --cut;
        }
        text.resize(isContinuation(cut) ? kMaxFieldText : cut);
    }
    std::string ExactField() {
        bool empty = false;
        return Field(empty);
    }
    std::string SkippingField() {
        for (;;) {
            bool empty = false;
            std::string text = Field(empty);
            if (!empty) {
                return text;
            }
        }
    }

    void ReadSet(CFileSet& set) {
        set.name = SkippingField();
        m_context = set.name;
        const long long drugs = LeadingInteger(ExactField());
        if (drugs < 1 || drugs > kMaxDrugs) {
            throw CImportFailure{1004};
        }
        const long long doses = LeadingInteger(ExactField());
        if (doses < kMinDoses || doses > kMaxDoses) {
            throw CImportFailure{1005};
        }
        set.drugs = static_cast<int>(drugs);
        set.doses = static_cast<int>(doses);
        set.units = ExactField();
        if (set.drugs >= 2) {
            for (int i = 0; i < set.drugs; ++i) {
                const std::string field = ExactField();
                const double value = ParseReal(field);
                // A negative ratio would give negative component doses.
                if (LeadingInteger(field) == 0 || !(value > 0.0) || !std::isfinite(value)) {
                    throw CImportFailure{1006};
                }
                set.ratio[static_cast<size_t>(i)] = value;
            }
        }
        for (int i = 0; i < set.drugs; ++i) {
            const auto d = static_cast<size_t>(i);
            set.drugNames[d] = SkippingField();
            ReadValues(set.doses, set.drugDoses[d], false, 1008);
            ReadValues(set.doses, set.drugEffects[d], true, 1009);
        }
        if (set.drugs >= 2) {
            set.combinationName = SkippingField();
            ReadValues(set.doses, set.combinationDoses, false, 1010);
            ReadValues(set.doses, set.combinationEffects, true, 1011);
        }
    }

    void ReadValues(int count, std::array<double, kMaxDoses>& values, bool effects, int code) {
        for (int i = 0; i < count; ++i) {
            const double value = ParseReal(SkippingField());
            const bool valid =
                effects ? value > 0.0 && value < 1.0 : value > 0.0 && std::isfinite(value);
            if (!valid) {
                throw CImportFailure{code};
            }
            values[static_cast<size_t>(i)] = value;
        }
    }

    std::streambuf& m_buf;
    std::string m_context;
    bool m_partialMark = false;
};

std::string TextOf(const std::string& field) {
    return EightBitToUtf8(Trim(field));
}

void Build(const std::vector<CFileSet>& sets, CDoseplexDoc& doc) {
    for (const CFileSet& set : sets) {
        const std::string setName = TextOf(set.name);
        const std::string units = TextOf(set.units);
        for (int i = 0; i < set.drugs; ++i) {
            const auto d = static_cast<size_t>(i);
            auto record = std::make_unique<CDrugInfo>();
            record->m_strName = setName + "_" + TextOf(set.drugNames[d]);
            record->m_strUnits = units;
            // Every point was checked while reading: the record fits once.
            std::vector<std::unique_ptr<CDoseData>> points;
            for (int j = 0; j < set.doses; ++j) {
                const auto p = static_cast<size_t>(j);
                points.push_back(
                    record->CreatePoint(set.drugDoses[d][p], set.drugEffects[d][p], 1, nullptr));
            }
            record->AddPoints(points);
            doc.AddDrug(std::move(record));
        }
        if (set.drugs < 2) {
            continue;
        }
        const auto n = static_cast<std::uint16_t>(set.drugs);
        std::vector<std::uint16_t> ids(n);
        for (std::uint16_t k = 0; k < n; ++k) {
            ids[k] = static_cast<std::uint16_t>(doc.DrugCount() - n + k);
        }
        auto record = std::make_unique<CDrugInfo>();
        record->m_strName = setName + "_" + TextOf(set.combinationName);
        record->SetComponents(n, ids.data());
        record->m_strUnits = units;
        record->SetConstantRatio(1);
        record->SetRatio(n, set.ratio.data());
        std::vector<std::unique_ptr<CDoseData>> points;
        for (int j = 0; j < set.doses; ++j) {
            const auto p = static_cast<size_t>(j);
            points.push_back(record->CreatePoint(set.combinationDoses[p], set.combinationEffects[p],
                                                 n, set.ratio.data()));
        }
        record->AddPoints(points);
        doc.AddDrug(std::move(record));
    }
    doc.SetModifiedFlag(true);
}

// A read-only stream over bytes in memory, so that no copy is needed.
class CByteStreamBuffer : public std::streambuf {
public:
    explicit CByteStreamBuffer(std::span<const std::uint8_t> bytes) {
        // The get area is never written through.
        char* begin = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
        setg(begin, begin, begin + bytes.size());
    }
};

bool Fail(CImportError& error, int code, std::string context) {
    error.m_nCode = code;
    error.m_strContext = std::move(context);
    ShowMessage(ImportErrorMessage(error));
    return false;
}

} // namespace

std::string ImportErrorMessage(const CImportError& error) {
    std::string message = kMessagePrefix;
    const std::string text = ErrorText(error.m_nCode);
    message += text;
    static const std::string contextLead = "Problem occurred in: ";
    const bool takesContext =
        error.m_nCode == 1001 ||
        (text.size() >= contextLead.size() &&
         text.compare(text.size() - contextLead.size(), contextLead.size(), contextLead) == 0);
    if (takesContext) {
        message += error.m_strContext;
    }
    if (error.m_nCode == 1001 && !error.m_strReason.empty()) {
        message += "\n" + error.m_strReason;
    }
    return message;
}

bool ImportText(std::istream& in, CDoseplexDoc& doc, CImportError& error) {
    CImportReader reader(in);
    std::vector<CFileSet> sets;
    try {
        sets = reader.Read();
    } catch (const CImportFailure& failure) {
        return Fail(error, failure.code, EightBitToUtf8(reader.Context()));
    }
    Build(sets, doc);
    return true;
}

bool ImportTextFile(const std::string& path, CDoseplexDoc& doc, CImportError& error) {
    std::vector<std::uint8_t> bytes;
    std::string reason;
    if (!ReadInputBytes(path, bytes, reason)) {
        error.m_strReason = reason;
        return Fail(error, 1001, path);
    }
    return ImportTextBytes(bytes, doc, error);
}

bool ImportTextBytes(std::span<const std::uint8_t> bytes, CDoseplexDoc& doc, CImportError& error) {
    CByteStreamBuffer buffer(bytes);
    std::istream in(&buffer);
    return ImportText(in, doc, error);
}

} // namespace doseplex
