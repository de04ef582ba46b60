// A search a test holds open, for tests of the platform layer itself.
#pragma once

#include "platform/file_search.h"

// The search the test holds, closed at the end whatever the test found.
struct HeldSearch {
    SearchHandle handle = nullptr;
    ~HeldSearch()
    {
        if (handle != nullptr)
            closeSearch(handle);
    }
};
