// System error numbers told in the user's language: ErrorText and Failure, declared with the
// result type they fill.
#pragma once

#include "platform/status.h"
