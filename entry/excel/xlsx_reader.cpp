// Office Open XML workbooks: the package is unzipped with libzip and its XML
// parts are read with Qt's QXmlStreamReader.

#include "entry/excel/workbook_file.h"
#include "entry/number_text.h"

#include <QByteArray>
#include <QString>
#include <QXmlStreamReader>
#include <zip.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace doseplex::entry {

namespace {

// No part of a workbook DosePlex can use comes near this; a larger one is
// refused rather than unpacked into memory.
constexpr zip_uint64_t kMaxPartBytes = 256u * 1024u * 1024u;

const QString kRelationshipsNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");

class CZipArchive {
public:
    explicit CZipArchive(const std::string& path) {
        int error = 0;
        m_zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
    }
    ~CZipArchive() {
        if (m_zip != nullptr) {
            zip_discard(m_zip);
        }
    }
    CZipArchive(const CZipArchive&) = delete;
    CZipArchive& operator=(const CZipArchive&) = delete;

    bool IsOpen() const { return m_zip != nullptr; }

    // The part's bytes; nothing when it is missing, damaged or too large.
    std::optional<QByteArray> Read(const std::string& name) const {
        const zip_int64_t index = zip_name_locate(m_zip, name.c_str(), 0);
        if (index < 0) {
            return std::nullopt;
        }
        zip_file_t* file = zip_fopen_index(m_zip, static_cast<zip_uint64_t>(index), 0);
        if (file == nullptr) {
            return std::nullopt;
        }
        QByteArray bytes;
        char buffer[65536];
        bool ok = true;
        while (true) {
            const zip_int64_t got = zip_fread(file, buffer, sizeof buffer);
            if (got < 0 ||
                static_cast<zip_uint64_t>(bytes.size()) + static_cast<zip_uint64_t>(got) >
                    kMaxPartBytes) {
                ok = false;
                break;
            }
            if (got == 0) {
                break;
            }
            bytes.append(buffer, static_cast<qsizetype>(got));
        }
        zip_fclose(file);
        if (!ok) {
            return std::nullopt;
        }
        return bytes;
    }

private:
    zip_t* m_zip = nullptr;
};

std::string ToUtf8(const QString& text) {
    return text.toStdString();
}

// The relationship id of the first <sheet> of the workbook part.
std::optional<QString> FirstSheetRelationship(const QByteArray& workbook) {
    QXmlStreamReader xml(workbook);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("sheet")) {
            return xml.attributes().value(kRelationshipsNamespace, QStringLiteral("id")).toString();
        }
    }
    return std::nullopt;
}

// The part a relationship of xl/workbook.xml points to, as a name inside the
// package.
std::optional<std::string> RelationshipTarget(const QByteArray& relationships, const QString& id) {
    QXmlStreamReader xml(relationships);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("Relationship") &&
            xml.attributes().value(QStringLiteral("Id")) == id) {
            std::string target =
                ToUtf8(xml.attributes().value(QStringLiteral("Target")).toString());
            if (!target.empty() && target.front() == '/') {
                return target.substr(1);
            }
            return "xl/" + target;
        }
    }
    return std::nullopt;
}

// The text of the element the reader stands on, with the text of its <t>
// descendants joined (a rich text has one run per format); phonetic hints
// (<rPh>) are left out.
QString ItemText(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    int skipDepth = 0;
    while (depth > 0 && !xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            ++depth;
            if (skipDepth == 0 && xml.name() == QLatin1String("rPh")) {
                skipDepth = depth;
            } else if (skipDepth == 0 && xml.name() == QLatin1String("t")) {
                text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
                --depth;
            }
        } else if (xml.isEndElement()) {
            if (depth == skipDepth) {
                skipDepth = 0;
            }
            --depth;
        }
    }
    return text;
}

std::vector<std::string> SharedStrings(const QByteArray& part) {
    std::vector<std::string> strings;
    QXmlStreamReader xml(part);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("si")) {
            strings.push_back(ToUtf8(ItemText(xml)));
        }
    }
    return strings;
}

// A cell reference of a worksheet ("B7", "XFD1048576"); nothing for
// anything else. Wider than the raw sheet's references, which stop at two
// letters and four digits.
std::optional<std::pair<int, int>> WorksheetCell(const std::string& text) {
    std::size_t i = 0;
    long column = 0;
    while (i < text.size() && text[i] >= 'A' && text[i] <= 'Z' && i < 3) {
        column = column * 26 + (text[i] - 'A' + 1);
        ++i;
    }
    long row = 0;
    const std::size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - digits < 7) {
        row = row * 10 + (text[i] - '0');
        ++i;
    }
    if (digits == 0 || i == digits || i != text.size() || row < 1) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<int>(row), static_cast<int>(column));
}

std::string NumberText(const QString& value) {
    const std::string text = ToUtf8(value);
    const auto number = ParseNumberText(text);
    return number ? ShortestNumberText(*number) : text;
}

CResult<CSheetData> ReadSheetPart(const QByteArray& part, const std::vector<std::string>& strings) {
    CSheetData data;
    QXmlStreamReader xml(part);
    int row = 0;
    int column = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        if (xml.name() == QLatin1String("row")) {
            bool ok = false;
            const int number = xml.attributes().value(QStringLiteral("r")).toInt(&ok);
            row = ok && number > 0 ? number : row + 1;
            column = 0;
            data.m_nRows = std::max(data.m_nRows, row);
            continue;
        }
        if (xml.name() != QLatin1String("c")) {
            continue;
        }
        const auto attributes = xml.attributes();
        const auto position =
            WorksheetCell(ToUtf8(attributes.value(QStringLiteral("r")).toString()));
        if (position) {
            row = position->first;
            column = position->second;
        } else {
            ++column;
        }
        const QString type = attributes.value(QStringLiteral("t")).toString();
        QString value;
        QString inlineText;
        while (!xml.atEnd()) {
            xml.readNext();
            if (xml.isEndElement() && xml.name() == QLatin1String("c")) {
                break;
            }
            if (xml.isStartElement() && xml.name() == QLatin1String("v")) {
                value = xml.readElementText();
            } else if (xml.isStartElement() && xml.name() == QLatin1String("is")) {
                inlineText = ItemText(xml);
            }
        }
        std::string text;
        if (type == QLatin1String("s")) {
            bool ok = false;
            const qulonglong index = value.toULongLong(&ok);
            if (!ok || index >= strings.size()) {
                return CStatus::Fail("a cell refers to a shared text the workbook does not hold");
            }
            text = strings[index];
        } else if (type == QLatin1String("inlineStr")) {
            text = ToUtf8(inlineText);
        } else if (type == QLatin1String("b")) {
            text = value.trimmed() == QLatin1String("1") ? "TRUE" : "FALSE";
        } else if (type == QLatin1String("str") || type == QLatin1String("e") ||
                   type == QLatin1String("d")) {
            text = ToUtf8(value);
        } else {
            text = NumberText(value);
        }
        data.m_nRows = std::max(data.m_nRows, row);
        data.m_nColumns = std::max(data.m_nColumns, column);
        if (!text.empty() && row > 0 && column > 0) {
            data.m_cells[{row, column}] = std::move(text);
        }
    }
    if (xml.hasError()) {
        return CStatus::Fail("its first worksheet is not well-formed XML (" +
                             ToUtf8(xml.errorString()) + ")");
    }
    return data;
}

} // namespace

CResult<CSheetData> ReadXlsxWorkbook(const std::string& path) {
    const auto failure = [&path](const std::string& why) {
        return CStatus::Fail("Cannot read the workbook \"" + path + "\": " + why + ".");
    };
    const CZipArchive zip(path);
    if (!zip.IsOpen()) {
        return failure("it is not an .xlsx workbook or cannot be opened");
    }
    const auto workbook = zip.Read("xl/workbook.xml");
    const auto relationships = zip.Read("xl/_rels/workbook.xml.rels");
    if (!workbook || !relationships) {
        return failure("it is not an .xlsx workbook");
    }
    const auto id = FirstSheetRelationship(*workbook);
    if (!id) {
        return failure("it holds no worksheet");
    }
    const auto target = RelationshipTarget(*relationships, *id);
    const auto sheet = target ? zip.Read(*target) : std::nullopt;
    if (!sheet) {
        return failure("its first worksheet is missing or damaged");
    }
    std::vector<std::string> strings;
    if (const auto shared = zip.Read("xl/sharedStrings.xml")) {
        strings = SharedStrings(*shared);
    }
    auto data = ReadSheetPart(*sheet, strings);
    if (!data) {
        return failure(data.Message());
    }
    return data;
}

} // namespace doseplex::entry
