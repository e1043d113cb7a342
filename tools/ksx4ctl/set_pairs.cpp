#include "set_pairs.h"

namespace ksx4::ctl {

std::optional<QString> takeSetPairs(const QStringList& arguments, qsizetype& i,
                                    QList<SetPair>& pairs) {
    const qsizetype first = i + 1;
    qsizetype next = first;
    for (; next < arguments.size() && !arguments[next].startsWith(QLatin1String("--")); ++next) {
        const QString& pair = arguments[next];
        const qsizetype sign = pair.indexOf(QLatin1Char('='));
        if (sign <= 0) return QStringLiteral("not NAME=VALUE: ") + pair;
        pairs.append({pair.left(sign), pair.mid(sign + 1)});
    }
    if (next == first) return QStringLiteral("--set needs NAME=VALUE after it");
    i = next - 1;
    return std::nullopt;
}

}  // namespace ksx4::ctl
