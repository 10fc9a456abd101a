#pragma once
// A minimal in-place ActiveX control, registered in the test process only,
// that writes every call its host makes into a journal: the order of the
// creation and teardown steps can be read back exactly.

#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <string>
#include <vector>

// Asks for its client site first and names its events through IProvideClassInfo2.
extern const CLSID CLSID_RecordingControl;
// Neither: it is loaded before it gets its site and only offers the browser's events.
extern const CLSID CLSID_PlainRecordingControl;
// The events interface the first kind describes.
extern const IID DIID_RecordingEvents;

class RecordingControls {
public:
    // Registers both classes for this process; revoked on destruction.
    RecordingControls();
    RecordingControls(const RecordingControls&) = delete;
    RecordingControls& operator=(const RecordingControls&) = delete;
    ~RecordingControls();

    bool Registered() const { return cookies_[0] != 0 && cookies_[1] != 0; }

    // Every call of every control since the last Clear, e.g. "DoVerb", "Close".
    static std::vector<std::string>& Journal();
    // Fires an event into the sink the host advised on the last control made.
    static HRESULT Fire(DISPID dispid, DISPPARAMS* params);
    static int Alive();

private:
    DWORD cookies_[2] = {0, 0};
};
