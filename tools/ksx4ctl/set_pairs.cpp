#include "set_pairs.h"

#include "ctl_support.h"

#include <ostream>

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
    if (next == first) return arguments[i] + QStringLiteral(" needs NAME=VALUE after it");
    i = next - 1;
    return std::nullopt;
}

std::optional<int> parseSettingsArguments(const QStringList& arguments, CtlContext& context,
                                          const char* usage, SettingsArguments& parsed) {
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (const auto problem = takeCommonOption(arguments, i, parsed.options)) {
            if (!problem->isEmpty()) return usageError(context, usage, *problem);
        } else if (argument == QLatin1String("--set")) {
            parsed.set = true;
            if (const auto bad = takeSetPairs(arguments, i, parsed.pairs)) {
                return usageError(context, usage, *bad);
            }
        } else if (argument == QLatin1String("--defaults")) {
            parsed.defaults = true;
        } else {
            return usageError(context, usage, QStringLiteral("unexpected argument: ") + argument);
        }
    }
    return std::nullopt;
}

}  // namespace ksx4::ctl
