// The one error kind of the programs (defined with the seam, which raises it
// too).
#pragma once

#include "platform/errors.h"
