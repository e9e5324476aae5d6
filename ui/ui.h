// The UI seam, under the name the view side knows it by. It lives in platform/ui_seam.h, below
// the parser and the records that use it.
#pragma once

#include "platform/ui_seam.h"
