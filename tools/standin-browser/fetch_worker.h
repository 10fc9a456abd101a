#pragma once
// Fetches run on threads of their own so that a slow server never blocks the
// window that shows the page.

#include <windows.h>
#include <memory>
#include <string>

#include "tools/standin-browser/http_fetch.h"

namespace standin {

struct FetchJob {
    FetchRequest request;
    FetchResult result;  // written by the worker before it posts
};

// Fetches job->request and then posts `message` with wParam `id` to `notify`. The
// job is shared, so if the window is gone by then the result is simply dropped.
bool StartFetch(std::shared_ptr<FetchJob> job, HWND notify, UINT message, WPARAM id);

}  // namespace standin
