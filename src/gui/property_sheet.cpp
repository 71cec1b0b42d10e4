// Property sheets and their pages: the header and page records handed to the
// common controls, the showing of a sheet, the page callbacks and the
// translation of the sheet's notifications into the page's virtual calls.
#include <vesk/gui/property_sheet.h>

#include <vesk/errors/exception.h>

#include <vector>

namespace vesk {

// The records the library hands over are those of the Windows 2000 layout
// (header with watermark and header bitmap, page with activation context): 52
// bytes in a 32-bit program, larger where pointers are 64 bits wide.
#if !defined(_WIN64)
static_assert(sizeof(PROPSHEETHEADERA) == 52, "the header of the sheet has its documented size");
static_assert(sizeof(PROPSHEETPAGEA) == 52, "the page record has its documented size");
#endif

namespace {
const DWORD wizardFlags = PSH_WIZARD | PSH_WIZARD_LITE | PSH_WIZARD97;
const int backButtonId = 0x3023;
} // namespace

PropertySheet* PropertySheet::InitializingSheet = nullptr;

// ---- PropertySheet -----------------------------------------------------------------

PropertySheet::PropertySheet(HWND parent) : header() {
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_USECALLBACK;
    header.hwndParent = parent;
    header.pfnCallback = &PropertySheet::callback;
}

PropertySheet::PropertySheet(HWND parent, unsigned short watermarkId, unsigned short headerId, HINSTANCE instance)
    : PropertySheet(parent) {
    header.dwFlags = PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_USECALLBACK;
    header.pszbmWatermark = MAKEINTRESOURCEA(watermarkId);
    header.pszbmHeader = MAKEINTRESOURCEA(headerId);
    header.hInstance = instance;
}

PropertySheet::~PropertySheet() {
    if (InitializingSheet == this)
        InitializingSheet = nullptr;
}

void PropertySheet::setStartPageByIndex(unsigned index) {
    header.dwFlags &= ~DWORD(PSH_USEPSTARTPAGE);
    header.nStartPage = index;
}

void PropertySheet::setStartPageByResource(unsigned short id) {
    header.dwFlags |= PSH_USEPSTARTPAGE;
    header.pStartPage = MAKEINTRESOURCEA(id);
}

void PropertySheet::setWizardMode(bool lite) {
    header.dwFlags = (header.dwFlags & ~wizardFlags) | (lite ? PSH_WIZARD_LITE : PSH_WIZARD);
}

void PropertySheet::setIcon(int id, HINSTANCE instance) {
    header.hInstance = instance;
    header.pszIcon = MAKEINTRESOURCEA(id);
    header.dwFlags |= PSH_USEICONID;
}

void PropertySheet::setTitle(const char* text) {
    title = text ? text : "";
    header.pszCaption = title.c_str();
}

void PropertySheet::setTitle(const wchar_t* text) {
    title = text ? StringHelper<char>::convert(text, 0xFFFFFFFFu, CP_ACP) : std::string();
    header.pszCaption = title.c_str();
}

void PropertySheet::addPage(PropertyPage* page) {
    if (!page)
        throw WindowsError(ERROR_INVALID_PARAMETER, "Can't add property page: no page");
    if (handle) {
        HPROPSHEETPAGE made = page->create();
        if (!sendMessageA(PSM_ADDPAGE, 0, reinterpret_cast<LPARAM>(made)))
            throw WindowsError("Can't add property page");
    }
    pages.push_back(page);
}

unsigned short PropertySheet::showModal() {
    if (InitializingSheet)
        throw WindowsError(ERROR_BUSY, "Error in showing property sheet: another sheet is starting");
    std::vector<HPROPSHEETPAGE> handles;
    handles.reserve(pages.size());
    for (PropertyPage* page : pages)
        handles.push_back(page->create());
    header.nPages = UINT(handles.size());
    header.phpage = handles.empty() ? nullptr : handles.data();
    header.dwFlags &= ~DWORD(PSH_PROPSHEETPAGE | PSH_MODELESS);
    InitializingSheet = this;
    SetLastError(0);
    const INT_PTR result = ::PropertySheetA(&header);
    const DWORD error = GetLastError();
    InitializingSheet = nullptr;
    header.phpage = nullptr;
    // The sheet window is gone: the object answers for it no longer.
    setWindowHandle(nullptr, false);
    if (result < 0)
        throw WindowsError(error, "Error in showing property sheet");
    return static_cast<unsigned short>(result);
}

int CALLBACK PropertySheet::callback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && InitializingSheet) {
        try {
            InitializingSheet->setWindowHandle(sheet, false);
        } catch (...) {
        }
        InitializingSheet = nullptr;
    }
    return 0;
}

void PropertySheet::setWizardButtons(unsigned long flags, bool post) const {
    if (HWND back = GetDlgItem(handle, backButtonId))
        ShowWindow(back, SW_SHOWNA);
    if (post)
        postMessageA(PSM_SETWIZBUTTONS, 0, LPARAM(flags));
    else
        sendMessageA(PSM_SETWIZBUTTONS, 0, LPARAM(flags));
}

void PropertySheet::restartWindows() const { sendMessageA(PSM_RESTARTWINDOWS, 0, 0); }
void PropertySheet::rebootSystem() const { sendMessageA(PSM_REBOOTSYSTEM, 0, 0); }
void PropertySheet::pressButton(int button) const { sendMessageA(PSM_PRESSBUTTON, WPARAM(button), 0); }
void PropertySheet::activate(int id) const { sendMessageA(PSM_SETCURSELID, 0, LPARAM(id)); }

void PropertySheet::activate(PropertyPage* page, unsigned index) const {
    sendMessageA(PSM_SETCURSEL, WPARAM(index), page ? reinterpret_cast<LPARAM>(page->create()) : 0);
}

void PropertySheet::setFinishText(const char* text) const {
    sendMessageA(PSM_SETFINISHTEXTA, 0, reinterpret_cast<LPARAM>(text));
}

// ---- PropertyPage -------------------------------------------------------------------

PropertyPage::PropertyPage(unsigned short templateId, HINSTANCE instance) : Dialog(templateId, instance) {
    initialize(templateId, 0, instance);
}

PropertyPage::PropertyPage(unsigned short templateId, unsigned short titleId, HINSTANCE instance)
    : Dialog(templateId, instance) {
    initialize(templateId, titleId, instance);
}

void PropertyPage::initialize(unsigned short templateId, unsigned short titleId, HINSTANCE instance) {
    page = PROPSHEETPAGEA();
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_USECALLBACK;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEA(templateId);
    page.pfnDlgProc = &PropertyPage::dlgProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pfnCallback = &PropertyPage::propSheetPageProc;
    if (titleId) {
        page.dwFlags |= PSP_USETITLE;
        page.pszTitle = MAKEINTRESOURCEA(titleId);
    }
    pageHandle = nullptr;
}

PropertyPage::~PropertyPage() {
    if (pageHandle) {
        // The release callback runs inside and empties pageHandle.
        HPROPSHEETPAGE made = pageHandle;
        pageHandle = nullptr;
        DestroyPropertySheetPage(made);
    }
}

HPROPSHEETPAGE PropertyPage::create() {
    if (!pageHandle) {
        pageHandle = CreatePropertySheetPageA(&page);
        if (!pageHandle)
            throw WindowsError("Can't create property page");
    }
    return pageHandle;
}

void PropertyPage::enableWatermark(bool enable) {
    if (enable)
        page.dwFlags = (page.dwFlags | PSP_HIDEHEADER) & ~DWORD(PSP_USEHEADERSUBTITLE);
    else
        page.dwFlags &= ~DWORD(PSP_HIDEHEADER);
}

bool PropertyPage::isWatermarkEnabled() const { return (page.dwFlags & PSP_HIDEHEADER) != 0; }

void PropertyPage::setHeader(unsigned short titleId, unsigned short subtitleId) {
    page.pszHeaderTitle = MAKEINTRESOURCEA(titleId);
    page.dwFlags |= PSP_USEHEADERTITLE;
    if (subtitleId) {
        page.pszHeaderSubTitle = MAKEINTRESOURCEA(subtitleId);
        page.dwFlags |= PSP_USEHEADERSUBTITLE;
    } else {
        page.pszHeaderSubTitle = nullptr;
        page.dwFlags &= ~DWORD(PSP_USEHEADERSUBTITLE);
    }
    page.dwFlags &= ~DWORD(PSP_HIDEHEADER);
}

void PropertyPage::clearHeader() { page.dwFlags &= ~DWORD(PSP_USEHEADERSUBTITLE); }

void PropertyPage::release() { pageHandle = nullptr; }

UINT CALLBACK PropertyPage::propSheetPageProc(HWND, UINT message, PROPSHEETPAGEA* record) {
    switch (message) {
    case PSPCB_RELEASE:
        if (record && record->lParam) {
            try {
                reinterpret_cast<PropertyPage*>(record->lParam)->release();
            } catch (...) {
            }
        }
        return 0;
    case PSPCB_CREATE: return 1;
    default: return 0;
    }
}

INT_PTR CALLBACK PropertyPage::dlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG)
        return Dialog::dlgProc(hwnd, message, wParam, lParam);
    try {
        const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        PropertyPage* page = record ? reinterpret_cast<PropertyPage*>(record->lParam) : nullptr;
        return page ? Dialog::initialize(*page, hwnd, wParam) : FALSE;
    } catch (...) {
        return FALSE;
    }
}

LRESULT PropertyPage::onNotify(const NMHDR& h) {
    switch (h.code) {
    case UINT(PSN_SETACTIVE): return onActivate();
    case UINT(PSN_KILLACTIVE): return onDeactivate() ? 1 : 0;
    case UINT(PSN_WIZBACK): return onBack();
    case UINT(PSN_WIZNEXT): return onNext();
    case UINT(PSN_WIZFINISH): return onFinish() ? 1 : 0;
    case UINT(PSN_QUERYCANCEL): return onCancel() ? 1 : 0;
    default: return Dialog::onNotify(h);
    }
}

int PropertyPage::onNext() { return 0; }
int PropertyPage::onBack() { return 0; }
bool PropertyPage::onFinish() { return false; }
int PropertyPage::onActivate() { return 0; }
bool PropertyPage::onDeactivate() { return false; }
bool PropertyPage::onCancel() { return false; }

} // namespace vesk
