// The system's file dialogs and the developer's text-editing dialog on Win32.
// The editing dialog is built in memory, so the runtime needs no resource file.
#include <windows.h>
#include <commdlg.h>

#include <cstring>
#include <vector>

#include "platform/platform.h"

namespace vz::platform {

namespace {

constexpr WORD ID_HEADING = 1001;
constexpr WORD ID_TEXT = 1002;
constexpr WORD CLASS_BUTTON = 0x0080;
constexpr WORD CLASS_EDIT = 0x0081;
constexpr WORD CLASS_STATIC = 0x0082;

// A dialog template laid out as Win32 reads it: WORD units, items DWORD-aligned.
class DialogTemplate {
public:
    DialogTemplate(const char* title, short width, short height, WORD items) {
        putDword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
        putDword(0);
        words_.push_back(items);
        putRect(0, 0, width, height);
        words_.push_back(0);  // no menu
        words_.push_back(0);  // the standard dialog class
        putText(title);
        words_.push_back(8);
        putText("MS Shell Dlg");
    }

    void item(DWORD style, short x, short y, short width, short height, WORD id, WORD windowClass, const char* text) {
        if (words_.size() % 2) words_.push_back(0);
        putDword(style | WS_CHILD | WS_VISIBLE);
        putDword(0);
        putRect(x, y, width, height);
        words_.push_back(id);
        words_.push_back(0xFFFF);
        words_.push_back(windowClass);
        putText(text);
        words_.push_back(0);  // no creation data
    }

    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void putDword(DWORD value) {
        words_.push_back(LOWORD(value));
        words_.push_back(HIWORD(value));
    }
    void putRect(short x, short y, short width, short height) {
        for (short v : {x, y, width, height}) words_.push_back(static_cast<WORD>(v));
    }
    void putText(const char* text) {
        for (const char* c = text; *c; ++c) words_.push_back(static_cast<unsigned char>(*c));
        words_.push_back(0);
    }
    std::vector<WORD> words_;
};

struct EditState {
    const std::string* heading;
    std::string* text;
};

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

INT_PTR CALLBACK editDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = reinterpret_cast<EditState*>(lParam);
            SetWindowLongPtrA(dialog, DWLP_USER, lParam);
            SetDlgItemTextA(dialog, ID_HEADING, withCrLf(*state->heading).c_str());
            SetDlgItemTextA(dialog, ID_TEXT, state->text->c_str());
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                auto* state = reinterpret_cast<EditState*>(GetWindowLongPtrA(dialog, DWLP_USER));
                HWND edit = GetDlgItem(dialog, ID_TEXT);
                std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(edit)) + 1);
                GetWindowTextA(edit, text.data(), static_cast<int>(text.size()));
                state->text->assign(text.data());
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        default:
            break;
    }
    return FALSE;
}

}  // namespace

bool fileDialog(void* window, bool save, const std::string& filter, std::string& chosen) {
    chosen.clear();
    char file[MAX_PATH] = {};
    const std::string pairs = filter + '\0';  // the list ends with an empty part
    OPENFILENAMEA request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = static_cast<HWND>(window);
    request.lpstrFilter = filter.empty() ? nullptr : pairs.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = sizeof file;
    request.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | (save ? 0 : OFN_FILEMUSTEXIST);
    const BOOL picked = save ? GetSaveFileNameA(&request) : GetOpenFileNameA(&request);
    if (!picked) return false;
    chosen.assign(file, strnlen(file, sizeof file));
    for (char& c : chosen)
        if (c == '\\') c = '/';
    return !chosen.empty();
}

bool editTextDialog(void* window, const char* title, const std::string& heading, std::string& text) {
    DialogTemplate layout(title ? title : "", 300, 120, 4);
    layout.item(SS_LEFT, 7, 7, 286, 50, ID_HEADING, CLASS_STATIC, "");
    layout.item(ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 7, 62, 286, 14, ID_TEXT, CLASS_EDIT, "");
    layout.item(BS_DEFPUSHBUTTON | WS_TABSTOP, 186, 99, 50, 14, IDOK, CLASS_BUTTON, "OK");
    layout.item(BS_PUSHBUTTON | WS_TABSTOP, 243, 99, 50, 14, IDCANCEL, CLASS_BUTTON, "Cancel");
    std::string edited = text;
    EditState state{&heading, &edited};
    const INT_PTR result = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), layout.get(), static_cast<HWND>(window),
                                                   editDialogProc, reinterpret_cast<LPARAM>(&state));
    if (result != IDOK) return false;
    text = edited;
    return true;
}

}  // namespace vz::platform
