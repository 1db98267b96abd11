// SPDX-License-Identifier: MIT
#include "Csv.h"

namespace vexal::cli {

QByteArray csvField(QByteArrayView text)
{
    constexpr QByteArrayView kNeedsQuotes = ",\"\r\n";
    bool quote = false;
    for (char c : text)
        quote = quote || kNeedsQuotes.contains(c);
    if (!quote)
        return text.toByteArray();
    QByteArray field;
    field.reserve(text.size() + 2);
    field += '"';
    for (char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    field += '"';
    return field;
}

CsvRecord &CsvRecord::operator<<(QByteArrayView field)
{
    if (!first_)
        line_ += ',';
    first_ = false;
    line_ += csvField(field);
    return *this;
}

QByteArray csvRecord(std::initializer_list<QByteArrayView> fields)
{
    CsvRecord record;
    for (QByteArrayView field : fields)
        record << field;
    return record.line();
}

} // namespace vexal::cli
