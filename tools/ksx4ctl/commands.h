#pragma once
// ksx4ctl's commands, one file each: arguments after the command's name.
#include "ctl_command.h"

#include <QStringList>

namespace ksx4::ctl {

extern const char* const kTransferUsage;
int runTransferCommand(const QStringList& arguments, CtlContext& context);

extern const char* const kLimitsUsage;
int runLimitsCommand(const QStringList& arguments, CtlContext& context);

extern const char* const kNamesUsage;
int runNamesCommand(const QStringList& arguments, CtlContext& context);

extern const char* const kEraseUsage;
int runEraseCommand(const QStringList& arguments, CtlContext& context);

extern const char* const kFirmwareUsage;
int runFirmwareCommand(const QStringList& arguments, CtlContext& context);

extern const char* const kArchiveUsage;
int runArchiveCommand(const QStringList& arguments, CtlContext& context);
// archive segments, diagnose and baseline (arguments after "archive").
bool isArchiveSegmentCommand(const QString& name);
int runArchiveSegmentCommand(const QStringList& arguments, CtlContext& context);

// Not listed by ksx4ctl --help: the factory's engineering functions.
extern const char* const kEngineeringUsage;
int runEngineeringCommand(const QStringList& arguments, CtlContext& context);

}  // namespace ksx4::ctl
