// The "Set value" dialog of spin edits and rotors: shows the value, its type and range, and
// takes a new value (and new bounds for a spin edit) typed by the user.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "controls/control_window.h"
#include "controls/rotor.h"
#include "controls/spin_edit.h"

namespace fw::controls {

namespace {

enum : int {
    kValueName = 15901,
    kCurrent1 = 15902,
    kCurrent2 = 15903,
    kValueType = 15904,
    kRange = 15905,
    kNew1 = 15906,
    kNew2 = 15907,
    kNewMin = 15908,
    kNewMax = 15909,
};

// The dialog is modal and one at a time: its control and working bounds are process-wide.
SpinEdit* g_spin = nullptr;
Rotor* g_rotor = nullptr;
float g_lo = 0, g_hi = 0;

std::string FieldText(HWND dialog, int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

std::string Fixed2(float v) {
    char text[64];
    std::snprintf(text, sizeof(text), "%0.2f", v);
    return text;
}

void Apply(HWND dialog, int id, const FieldCheck& check) {
    if (check.beep) MessageBeep(0xFFFFFFFF);
    if (check.rewrite) SetDlgItemTextA(dialog, id, check.text.c_str());
}

void InitForSpinEdit(HWND dialog, SpinEdit& s) {
    SetDlgItemTextA(dialog, kValueName, s.ValueName);
    SetDlgItemTextA(dialog, kValueType, s.IsInteger ? "Integer slider" : "Float slider");
    const std::string value = FormatValue(s.Value, s.IsInteger);
    SetDlgItemTextA(dialog, kCurrent1, value.c_str());
    SetDlgItemTextA(dialog, kNew1, value.c_str());
    SetDlgItemTextA(dialog, kCurrent2, "Not used");
    EnableWindow(GetDlgItem(dialog, kNew2), FALSE);
    g_lo = s.Min;
    g_hi = s.Max;
    SetDlgItemTextA(dialog, kRange,
                    RecommendedRangeText(s.RecommendedMin, s.RecommendedMax, s.IsInteger).c_str());
    EnableWindow(GetDlgItem(dialog, kNewMin), TRUE);
    EnableWindow(GetDlgItem(dialog, kNewMax), TRUE);
    SetDlgItemTextA(dialog, kNewMin, FormatValue(s.Min, s.IsInteger).c_str());
    SetDlgItemTextA(dialog, kNewMax, FormatValue(s.Max, s.IsInteger).c_str());
}

void CheckSpinEditField(HWND dialog, SpinEdit& s, int id) {
    const std::string text = FieldText(dialog, id);
    if (id == kNewMin)
        Apply(dialog, id, CheckNewMinimum(text.c_str(), g_lo, g_hi, s.IsInteger));
    else if (id == kNewMax)
        Apply(dialog, id, CheckNewMaximum(text.c_str(), g_lo, g_hi, s.IsInteger));
    else if (id == kNew1)
        Apply(dialog, id, CheckNewValue(text.c_str(), g_lo, g_hi, s.IsInteger));
}

void AcceptForSpinEdit(HWND dialog, SpinEdit& s) {
    const SetValueResult r =
        ReadSetValueFields(FieldText(dialog, kNew1).c_str(), FieldText(dialog, kNewMin).c_str(),
                           FieldText(dialog, kNewMax).c_str(), s.IsInteger);
    s.SetValue(r.value);
    s.SetRange(r.min, r.max);
    s.SetValue(s.Value);  // the up-down takes the position in its new range
    s.Redraw();
    PostMessageA(GetParent(s.Window), WM_COMMAND, MAKEWPARAM(s.ControlId, 0), 0);
}

void InitForRotor(HWND dialog, Rotor& r) {
    SetDlgItemTextA(dialog, kValueName, r.ValueName);
    SetDlgItemTextA(dialog, kRange, "Not limit");
    EnableWindow(GetDlgItem(dialog, kNewMin), FALSE);
    EnableWindow(GetDlgItem(dialog, kNewMax), FALSE);
    const std::string angle1 = Fixed2(r.Angle1);
    SetDlgItemTextA(dialog, kCurrent1, angle1.c_str());
    SetDlgItemTextA(dialog, kNew1, angle1.c_str());
    if (r.Mode == kRotorLightMode) {
        SetDlgItemTextA(dialog, kValueType, "Light position");
        const std::string angle2 = Fixed2(r.Angle2);
        SetDlgItemTextA(dialog, kCurrent2, angle2.c_str());
        SetDlgItemTextA(dialog, kNew2, angle2.c_str());
        EnableWindow(GetDlgItem(dialog, kNew2), TRUE);
    } else {
        SetDlgItemTextA(dialog, kValueType, "Float angle");
        SetDlgItemTextA(dialog, kCurrent2, "Not used");
        EnableWindow(GetDlgItem(dialog, kNew2), FALSE);
    }
}

void AcceptForRotor(HWND dialog, Rotor& r) {
    const float n = float(std::atof(FieldText(dialog, kNew1).c_str()));
    if (r.Mode == kRotorLightMode) {
        r.Angle1 = n;
        r.Angle2 = float(std::atof(FieldText(dialog, kNew2).c_str()));
    } else {
        r.SetAngles(n, 0);
    }
    r.Redraw();
    PostMessageA(GetParent(r.Window), WM_COMMAND, MAKEWPARAM(r.ControlId, 0), 0);
}

void CheckRotorField(HWND dialog, int id) {
    if (id == kNew2 && std::atof(FieldText(dialog, kNew2).c_str()) == 0)
        SetDlgItemTextA(dialog, kNew2, Fixed2(0).c_str());
}

// What both dialogs do with commands: a field check when a field loses the focus, OK
// applies and ends with 1, Cancel ends with 2.
template <class Check, class Accept>
INT_PTR Command(HWND dialog, WPARAM wParam, Check check, Accept accept) {
    const int id = LOWORD(wParam), code = HIWORD(wParam);
    if (code == EN_KILLFOCUS) {
        check(id);
    } else if (code == BN_CLICKED && id == IDOK) {
        accept();
        EndDialog(dialog, 1);
    } else if (code == BN_CLICKED && id == IDCANCEL) {
        EndDialog(dialog, 2);
    }
    return TRUE;
}

INT_PTR CALLBACK SpinEditValueProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_spin = reinterpret_cast<SpinEdit*>(lParam);
        InitForSpinEdit(dialog, *g_spin);
        return TRUE;
    }
    if (message != WM_COMMAND || !g_spin) return FALSE;
    return Command(
        dialog, wParam, [&](int id) { CheckSpinEditField(dialog, *g_spin, id); },
        [&] { AcceptForSpinEdit(dialog, *g_spin); });
}

INT_PTR CALLBACK RotorValueProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        g_rotor = reinterpret_cast<Rotor*>(lParam);
        InitForRotor(dialog, *g_rotor);
        return TRUE;
    }
    if (message != WM_COMMAND || !g_rotor) return FALSE;
    return Command(
        dialog, wParam, [&](int id) { CheckRotorField(dialog, id); },
        [&] { AcceptForRotor(dialog, *g_rotor); });
}

}  // namespace

void OpenSetValueDialog(SpinEdit& spin) {
    DialogBoxParamA(ControlModule, MAKEINTRESOURCEA(kSetValueDialogId), spin.Window,
                    SpinEditValueProc, reinterpret_cast<LPARAM>(&spin));
    g_spin = nullptr;
}

void OpenSetValueDialog(Rotor& rotor) {
    DialogBoxParamA(ControlModule, MAKEINTRESOURCEA(kSetValueDialogId), rotor.Window,
                    RotorValueProc, reinterpret_cast<LPARAM>(&rotor));
    g_rotor = nullptr;
}

}  // namespace fw::controls
