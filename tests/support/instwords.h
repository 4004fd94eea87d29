// The fixture of the suites that call words on files of their own: InstWords.
#pragma once
#include "testhost.h"
