// GoogleTest's port header looks for direct.h when it sees _WIN32; the library was built for
// Linux, so it is included with the Windows macros hidden.
#pragma once

#pragma push_macro("_WIN32")
#pragma push_macro("_WIN64")
#pragma push_macro("WIN32")
#undef _WIN32
#undef _WIN64
#undef WIN32
#include <gtest/gtest.h>
#pragma pop_macro("WIN32")
#pragma pop_macro("_WIN64")
#pragma pop_macro("_WIN32")
