#pragma once
// Dialog templates with ActiveX controls: the system dialog manager knows no
// class-id window classes, so those controls are taken out of the template
// and created by the control container once the dialog exists.

#include <windows.h>
#include <cstddef>
#include <vector>

namespace fw {

// One control of a template whose window class is a class id ("{8856F961-...}").
struct OleControlItem {
    CLSID clsid;
    RECT rect;       // dialog units, relative to the dialog's client area
    DWORD style;
    UINT id;
    std::size_t index;  // place among all controls of the template (tab order)
};

struct SplitDialogTemplate {
    // The template without the ActiveX controls, every other byte as it was
    // and the control count corrected. Empty when nothing was taken out.
    std::vector<BYTE> dialog;
    std::vector<OleControlItem> controls;
};

// Reads a DLGTEMPLATE or DLGTEMPLATEEX of `size` bytes. False when the
// template is malformed (it is then left to the dialog manager as it is).
bool SplitOleControls(const void* dialogTemplate, std::size_t size, SplitDialogTemplate* out);

}  // namespace fw
