#include "entry/odbc_query.h"

namespace doseplex::entry {

namespace {

std::string Quoted(std::string_view name, std::string_view open, std::string_view close) {
    std::string text(open);
    for (std::size_t pos = 0; pos < name.size();) {
        if (!close.empty() && name.substr(pos, close.size()) == close) {
            text += std::string(close) + std::string(close);
            pos += close.size();
        } else {
            text += name[pos++];
        }
    }
    return text + std::string(close);
}

} // namespace

std::string BuildFieldQuery(std::string_view table, const std::vector<std::string>& fields,
                            const std::vector<bool>& selected, std::string_view open,
                            std::string_view close) {
    std::string names;
    std::size_t count = 0;
    for (std::size_t i = 0; i < fields.size() && i < selected.size(); ++i) {
        if (selected[i]) {
            names += (count == 0 ? "" : ", ") + Quoted(fields[i], open, close);
            ++count;
        }
    }
    if (count == 0) {
        return {};
    }
    const std::string what = count == fields.size() ? "*" : names;
    return "select " + what + "\n from " + Quoted(table, open, close);
}

} // namespace doseplex::entry
