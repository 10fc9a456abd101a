#include "tools/standin-browser/fetch_worker.h"

#include "tools/standin-browser/module.h"

namespace standin {

namespace {

constexpr DWORD kTimeoutMs = 15000;

struct WorkerStart {
    std::shared_ptr<FetchJob> job;
    HWND notify;
    UINT message;
    WPARAM id;
    HMODULE module;
};

DWORD WINAPI FetchThread(void* param) {
    HMODULE module = nullptr;
    {
        const std::unique_ptr<WorkerStart> start(static_cast<WorkerStart*>(param));
        module = start->module;
        start->job->result = HttpFetch(start->job->request, kTimeoutMs);
        ::PostMessageW(start->notify, start->message, start->id, 0);
    }
    // The thread holds its own reference to the DLL, so drop it on the way out.
    ::FreeLibraryAndExitThread(module, 0);
}

}  // namespace

bool StartFetch(std::shared_ptr<FetchJob> job, HWND notify, UINT message, WPARAM id) {
    fw::Module module = RetainModule();
    if (!module) return false;
    auto start = std::make_unique<WorkerStart>(WorkerStart{std::move(job), notify, message, id, module.get()});
    const fw::KernelHandle thread(::CreateThread(nullptr, 0, FetchThread, start.get(), 0, nullptr));
    if (!thread) return false;
    static_cast<void>(start.release());  // FetchThread owns it now
    module.release();
    return true;
}

}  // namespace standin
