#pragma once
// The archive read by segment: the segments it holds, one segment's
// reports, and the baseline each segment's reports are compared with.
#include "archive/segment_key.h"
