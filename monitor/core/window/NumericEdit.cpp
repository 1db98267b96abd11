// SPDX-License-Identifier: MIT
#include "NumericEdit.h"

#include <limits>

namespace vexal::monitor {

bool isAcceptableNumber(const QString &text, qint64 maximum)
{
    if (text.isEmpty())
        return false;
    qint64 value = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > std::numeric_limits<qint32>::max())
            return false;
    }
    return maximum <= 0 || value <= maximum;
}

const QString &NumericEdit::change(const QString &text)
{
    if (isAcceptableNumber(text, maximum_))
        lastValid_ = text;
    return lastValid_;
}

} // namespace vexal::monitor
