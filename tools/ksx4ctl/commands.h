#pragma once
// ksx4ctl's commands, one file each: arguments after the command's name.
#include "ctl_command.h"

#include <QStringList>

namespace ksx4::ctl {

extern const char* const kTransferUsage;
int runTransferCommand(const QStringList& arguments, CtlContext& context);

// Not listed by ksx4ctl --help: the factory's engineering functions.
extern const char* const kEngineeringUsage;
int runEngineeringCommand(const QStringList& arguments, CtlContext& context);

}  // namespace ksx4::ctl
