#include "diagnosis/finding.h"

namespace ksx4::diagnosis {

QString severityName(Severity severity) {
    switch (severity) {
        case Severity::Alarm:
            return QStringLiteral("alarm");
        case Severity::Warning:
            return QStringLiteral("warning");
        case Severity::Note:
            break;
    }
    return QStringLiteral("note");
}

std::optional<double> Finding::value(const QString& name) const {
    for (const auto& [key, number] : values) {
        if (key == name) return number;
    }
    return std::nullopt;
}

QJsonObject toJson(const Finding& finding) {
    QJsonObject values;
    for (const auto& [key, number] : finding.values) values.insert(key, number);
    return QJsonObject{
        {QStringLiteral("code"), finding.code},
        {QStringLiteral("severity"), severityName(finding.severity)},
        {QStringLiteral("subject"), finding.subject()},
        {QStringLiteral("device"), finding.device ? QJsonValue(*finding.device) : QJsonValue()},
        {QStringLiteral("summary"), finding.summary},
        {QStringLiteral("causes"), QJsonArray::fromStringList(finding.causes)},
        {QStringLiteral("check"), finding.check},
        {QStringLiteral("values"), values},
    };
}

QJsonArray toJson(const std::vector<Finding>& findings) {
    QJsonArray array;
    for (const Finding& finding : findings) array.append(toJson(finding));
    return array;
}

}  // namespace ksx4::diagnosis
