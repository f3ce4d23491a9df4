#include "wizard/FolderPicker.h"

#include <cstring>

#include "fw/App.h"
#include "fw/Handles.h"
#include "wizard/PageIds.h"

namespace {
// Guards the first selection of a browse dialog: 0 before initialisation, 1
// once the path box holds the start folder, 2 afterwards. Only one picker
// is ever open at a time.
int g_initState = 0;
const char kHookProp[] = "SetupFolderPickerHook";
}  // namespace

// ---------------------------------------------------------------- rules on the system

bool CSystemFolderOps::Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }
void CSystemFolderOps::CreateDir(const char* path) { CreateDirectoryA(path, nullptr); }
bool CSystemFolderOps::AskYesNo(const std::string& text) {
    return AppMessageBox(text.c_str(), MB_YESNO | MB_ICONQUESTION, owner_) == IDYES;
}
void CSystemFolderOps::ShowMessage(const std::string& text) {
    AppMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION, owner_);
}

int CheckFolderPath(const char* path, BOOL checkOnly) {
    CSystemFolderOps ops;
    return CheckFolderPath(path, checkOnly != FALSE, ops);
}

// ---------------------------------------------------------------- hook

BOOL CFolderPickerHook::Attach(HWND dialog) {
    if (m_hWnd) return FALSE;
    m_hWnd = dialog;
    SetPropA(dialog, kHookProp, this);
    oldProc_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(dialog, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CFolderPickerHook::HookProc)));
    return oldProc_ != nullptr;
}

void CFolderPickerHook::Detach() {
    if (!m_hWnd) return;
    if (IsWindow(m_hWnd) && oldProc_)
        SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
    RemovePropA(m_hWnd, kHookProp);
    m_hWnd = nullptr;
}

LRESULT CALLBACK CFolderPickerHook::HookProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = static_cast<CFolderPickerHook*>(GetPropA(hwnd, kHookProp));
    if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
    return self->OnMessage(msg, wp, lp);
}

LRESULT CFolderPickerHook::OnMessage(UINT msg, WPARAM wp, LPARAM lp) {
    WNDPROC next = oldProc_;
    if (msg == WM_COMMAND) {
        const UINT id = LOWORD(wp);
        const UINT code = HIWORD(wp);
        if (id == IDOK && code == BN_CLICKED) {
            OnOK();
            return 0;
        }
        if (id == IDC_PICKER_PATH && code == EN_CHANGE) {
            OnPathChange();
            return 0;
        }
        if (id == IDC_PICKER_PATH && code == EN_SETFOCUS) return 0;
    } else if (msg == WM_NCDESTROY) {
        HWND hwnd = m_hWnd;
        Detach();
        return CallWindowProcA(next, hwnd, msg, wp, lp);
    }
    return CallWindowProcA(next, m_hWnd, msg, wp, lp);
}

void CFolderPickerHook::OnPathChange() {
    HWND box = GetDlgItem(IDC_PICKER_PATH);
    GetWindowTextA(box, picker_->path, sizeof picker_->path);
    SendMessageA(m_hWnd, BFFM_ENABLEOK, 0, picker_->path[0] ? TRUE : FALSE);
}

void CFolderPickerHook::OnOK() {
    HWND box = GetDlgItem(IDC_PICKER_PATH);
    GetWindowTextA(box, picker_->path, sizeof picker_->path);
    // The box takes at most 259 typed characters, but a longer text can be
    // put into it: that text is validated whole (and refused), never cut
    // to the buffer's size and acted on.
    std::string whole = picker_->path;
    const int length = GetWindowTextLengthA(box);
    if (length >= static_cast<int>(sizeof picker_->path)) {
        whole.assign(static_cast<size_t>(length) + 1, '\0');
        GetWindowTextA(box, whole.data(), length + 1);
        whole.resize(std::strlen(whole.c_str()));
    }
    CSystemFolderOps ops(m_hWnd);
    if (::ValidateFolder(whole.c_str(), ops) != kFolderOk) {
        SetFocus(box);
        return;
    }
    picker_->confirmed = TRUE;
    ::EndDialog(picker_->dialogWindow, IDOK);
}

// ---------------------------------------------------------------- picker

CFolderPicker::CFolderPicker(const char* caption_, const char* title, const char* initialFolder_, HWND parent)
    : hasCaption(caption_ != nullptr),
      caption(caption_ ? caption_ : ""),
      hasInitialFolder(initialFolder_ != nullptr),
      initialFolder(initialFolder_ ? initialFolder_ : ""),
      hook(this),
      title_(title ? title : "") {
    if (parent) {
        owner = parent;
        while (owner && (GetWindowLongA(owner, GWL_STYLE) & WS_CHILD)) owner = GetParent(owner);
    } else {
        HWND active = GetActiveWindow();
        owner = active ? GetLastActivePopup(active) : nullptr;
    }
    browseInfo.hwndOwner = owner;
    browseInfo.pidlRoot = nullptr;
    browseInfo.pszDisplayName = nullptr;
    browseInfo.lpszTitle = title_.c_str();
    browseInfo.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    browseInfo.lpfn = &CFolderPicker::BrowseCallback;
    browseInfo.lParam = reinterpret_cast<LPARAM>(this);
    browseInfo.iImage = 0;
}

int CFolderPicker::Run() {
    char displayName[260] = {0};
    browseInfo.pszDisplayName = displayName;
    browseInfo.lpfn = &CFolderPicker::BrowseCallback;
    browseInfo.lParam = reinterpret_cast<LPARAM>(this);
    browseInfo.lpszTitle = title_.c_str();
    g_initState = 0;

    int result = -1;
    {
        ComScope com;  // the shell's dialog needs COM on this thread
        ComPtr<IMalloc> malloc;
        if (SUCCEEDED(SHGetMalloc(malloc.Put())) && malloc) {
            confirmed = FALSE;
            LPITEMIDLIST item = SHBrowseForFolderA(&browseInfo);
            if (item) malloc->Free(item);
            result = confirmed ? 1 : -1;
        }
    }
    hook.Detach();
    dialogWindow = nullptr;
    browseInfo.pszDisplayName = nullptr;
    return result;
}

int CALLBACK CFolderPicker::BrowseCallback(HWND window, UINT message, LPARAM item, LPARAM data) {
    auto* self = reinterpret_cast<CFolderPicker*>(data);
    if (!self) return 0;
    if (message == BFFM_INITIALIZED) {
        self->dialogWindow = window;
        if (self->hasCaption) SetWindowTextA(window, self->caption.c_str());
        self->hook.Attach(window);
        ShowWindow(GetDlgItem(window, IDC_PICKER_STATUS), SW_HIDE);

        // The path box spans the tree's width, from 27 to 4 pixels above it.
        RECT tree = {0, 0, 0, 0};
        GetWindowRect(GetDlgItem(window, IDC_PICKER_TREE), &tree);
        POINT topLeft = {tree.left, tree.top - 27};
        POINT bottomRight = {tree.right, tree.top - 4};
        ScreenToClient(window, &topLeft);
        ScreenToClient(window, &bottomRight);
        HWND box = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                   topLeft.x, topLeft.y, bottomRight.x - topLeft.x, bottomRight.y - topLeft.y, window,
                                   nullptr, AppInstance(), nullptr);
        if (box) {
            SetWindowLongPtrA(box, GWLP_ID, IDC_PICKER_PATH);
            ShowWindow(box, SW_SHOW);
            SendMessageA(box, WM_SETFONT, static_cast<WPARAM>(SendMessageA(window, WM_GETFONT, 0, 0)), TRUE);
            SendMessageA(box, EM_LIMITTEXT, sizeof self->path - 1, 0);
        }

        char start[260] = {0};
        if (self->hasInitialFolder) lstrcpynA(start, self->initialFolder.c_str(), sizeof start);
        else GetCurrentDirectoryA(sizeof start, start);

        SendMessageA(window, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(start));
        if (g_initState != 0) return 0;
        g_initState = 1;
        SendMessageA(window, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(start));
        SetWindowTextA(box, start);
        SendMessageA(window, BFFM_ENABLEOK, 0, TRUE);
        self->OnSelectionChanged(nullptr);
        return 0;
    }
    if (message == BFFM_SELCHANGED) self->OnSelectionChanged(reinterpret_cast<LPCITEMIDLIST>(item));
    return 0;
}

void CFolderPicker::OnSelectionChanged(LPCITEMIDLIST item) {
    if (g_initState == 1) {
        g_initState = 2;
        return;
    }
    char selected[260] = {0};
    // Only items with a drive-letter path can be chosen.
    if (!item || !SHGetPathFromIDListA(item, selected) || selected[1] != ':') {
        selected[0] = 0;
        SendMessageA(dialogWindow, BFFM_ENABLEOK, 0, FALSE);
    } else {
        SendMessageA(dialogWindow, BFFM_ENABLEOK, 0, TRUE);
    }
    SendMessageA(dialogWindow, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(selected));
    SetDlgItemTextA(dialogWindow, IDC_PICKER_PATH, selected);
}
