#pragma once
// The NAME=VALUE pairs after a settings command's --set.
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ksx4::ctl {

struct SetPair {
    QString name;
    QString value;  // may be empty: the box is left empty
};

// arguments[i] is "--set": takes the pairs after it up to the next argument
// that begins with "--", advancing i to the last one taken. Returns the
// problem when there is none or one has no '='.
std::optional<QString> takeSetPairs(const QStringList& arguments, qsizetype& i,
                                    QList<SetPair>& pairs);

}  // namespace ksx4::ctl
