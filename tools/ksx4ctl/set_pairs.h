#pragma once
// The arguments of the settings commands (limits, names): the common
// options, --defaults, and the NAME=VALUE pairs after --set.
#include "console_operator.h"
#include "ctl_command.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace ksx4::ctl {

struct SetPair {
    QString name;
    QString value;  // may be empty: the box is left empty
};

// arguments[i] is "--set" (or another word that pairs follow): takes the
// pairs after it up to the next argument that begins with "--", advancing i
// to the last one taken. Returns the problem when there is none or one has
// no '='.
std::optional<QString> takeSetPairs(const QStringList& arguments, qsizetype& i,
                                    QList<SetPair>& pairs);

struct SettingsArguments {
    ConsoleOptions options;
    bool defaults = false;
    bool set = false;
    QList<SetPair> pairs;

    // Neither --defaults nor --set: print the tester's values.
    bool printOnly() const { return !set && !defaults; }
};

// Parses a settings command's arguments. nullopt: go on; otherwise the exit
// code to end with (the usage has been written for --help or a problem).
std::optional<int> parseSettingsArguments(const QStringList& arguments, CtlContext& context,
                                          const char* usage, SettingsArguments& parsed);

}  // namespace ksx4::ctl
