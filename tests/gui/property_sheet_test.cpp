// Property sheets and wizards under the run's Xvfb, switched and finished (or
// cancelled) by a script of timer steps inside the sheet's own loop: the
// library's pages and raw PROPSHEETPAGE dialog procedures answer from one table
// of behaviours, and the notifications each page receives in order, the page
// (and Back button) the sheet shows at each step and the sheet's result must
// be the same. Also: the header and page records the library fills, page
// creation and release.
#include <vesk/gui/property_sheet.h>

#include "dialog_resources.h"
#include "gui_driver.h"

#include <map>

using namespace vesk;
using namespace vesk_test;

namespace {

vesk_test::Watchdog watchdog(120);
using Step = vesk_test::TimerScript::Step;

std::vector<std::string> journal;
const std::map<UINT, const char*> codeNames = {
    {PSN_SETACTIVE, "setactive"}, {PSN_KILLACTIVE, "killactive"}, {PSN_APPLY, "apply"},
    {PSN_RESET, "reset"},         {PSN_HELP, "help"},             {PSN_WIZBACK, "back"},
    {PSN_WIZNEXT, "next"},        {PSN_WIZFINISH, "finish"},      {PSN_QUERYCANCEL, "querycancel"}};

// What one page answers, shared by the library's page and the raw procedure:
// the page a Next or Back goes to, refusals (counting down) to leave, cancel or
// finish, the wizard buttons set on activation (when non-zero).
struct Behaviour { int next = 0, back = 0, keepOnLeave = 0, refuseCancel = 0, refuseFinish = 0; DWORD wizardButtons = 0; };
struct PageSpec { const char* name; unsigned short templateId, titleId; Behaviour behaviour; };

// Logs the notification and gives the answer the page's behaviour asks for.
LRESULT respond(PageSpec& page, UINT code, HWND sheet) {
    const auto name = codeNames.find(code);
    if (name == codeNames.end())
        return 0;
    journal.push_back(std::string(page.name) + ":" + name->second);
    Behaviour& b = page.behaviour;
    auto once = [](int& n) { return n > 0 ? (n--, 1) : 0; };
    if (code == UINT(PSN_SETACTIVE) && b.wizardButtons && sheet)
        SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, LPARAM(b.wizardButtons));
    if (code == UINT(PSN_WIZNEXT) || code == UINT(PSN_WIZBACK))
        return code == UINT(PSN_WIZNEXT) ? b.next : b.back;
    return code == UINT(PSN_KILLACTIVE) ? once(b.keepOnLeave) : code == UINT(PSN_WIZFINISH) ? once(b.refuseFinish)
           : code == UINT(PSN_QUERYCANCEL)                    ? once(b.refuseCancel) : 0;
}

struct Page : PropertyPage {
    Page(PageSpec& s, PropertySheet& sheet) : PropertyPage(s.templateId, s.titleId, vesk_test::instance()), spec(s), sheet(sheet) {}
    int releases = 0;
    bool onInitDialog(Window&) override { return journal.push_back(std::string(spec.name) + ":init"), true; }
    LRESULT call(int code) { return respond(spec, UINT(code), nullptr); }
    int onActivate() override {
        if (spec.behaviour.wizardButtons)  // the library's own way to the buttons
            sheet.setWizardButtons(spec.behaviour.wizardButtons, false);
        return int(call(PSN_SETACTIVE));
    }
    bool onDeactivate() override { return call(PSN_KILLACTIVE) != 0; }
    int onNext() override { return int(call(PSN_WIZNEXT)); }
    int onBack() override { return int(call(PSN_WIZBACK)); }
    bool onFinish() override { return call(PSN_WIZFINISH) != 0; }
    bool onCancel() override { return call(PSN_QUERYCANCEL) != 0; }
    LRESULT onNotify(const NMHDR& h) override {
        // The codes without a handler of their own: logged, then the default.
        if (h.code == UINT(PSN_APPLY) || h.code == UINT(PSN_RESET) || h.code == UINT(PSN_HELP))
            call(int(h.code));
        return PropertyPage::onNotify(h);
    }
    void release() override { ++releases, PropertyPage::release(); }
    PageSpec& spec;
    PropertySheet& sheet;
};

INT_PTR CALLBACK rawPageProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* spec = reinterpret_cast<PageSpec*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(spec));
        return journal.push_back(std::string(spec->name) + ":init"), TRUE;
    }
    auto* spec = reinterpret_cast<PageSpec*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message != WM_NOTIFY || !spec || !codeNames.count(reinterpret_cast<const NMHDR*>(lParam)->code))
        return FALSE;
    return SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, respond(*spec, reinterpret_cast<const NMHDR*>(lParam)->code, GetParent(hwnd))), TRUE;
}

HWND rawSheet = nullptr;
int CALLBACK rawSheetCallback(HWND sheet, UINT message, LPARAM) { return rawSheet = message == PSCB_INITIALIZED ? sheet : rawSheet, 0; }

struct Outcome { std::vector<std::string> journal, shown; INT_PTR result; };

// Each step first notes the page shown and whether Back is enabled ("<"); a
// last step ends the sheet whatever state it is in.
template <class Show> Outcome drive(std::function<HWND()> sheet, std::vector<Step> steps, Show show) {
    journal.clear();
    Outcome run;
    steps.push_back([](HWND h) { PostMessageA(h, WM_COMMAND, IDCANCEL, 0); });
    for (Step& step : steps)
        step = [&run, step](HWND h) {
            char title[64] = {};
            GetWindowTextA(HWND(SendMessageA(h, PSM_GETCURRENTPAGEHWND, 0, 0)), title, sizeof(title));
            run.shown.push_back(title + std::string(IsWindowEnabled(GetDlgItem(h, 0x3023)) ? "<" : ""));
            step(h);
        };
    run.result = vesk_test::TimerScript{sheet, steps}.run(show), run.journal = journal;
    return run;
}

Step press(int button) { return [button](HWND h) { SendMessageA(h, PSM_PRESSBUTTON, WPARAM(button), 0); }; }
Step select(int index) { return [index](HWND h) { SendMessageA(h, PSM_SETCURSEL, WPARAM(index), 0); }; }
Step changed(int index) { return [index](HWND h) { SendMessageA(h, PSM_CHANGED, SendMessageA(h, PSM_INDEXTOHWND, WPARAM(index), 0), 0); }; }

Outcome runRaw(std::vector<PageSpec> specs, bool wizard, const std::vector<Step>& steps) {
    std::vector<PROPSHEETPAGEA> pages(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) {
        PROPSHEETPAGEA& p = pages[i];
        p.dwSize = sizeof(p), p.dwFlags = PSP_USETITLE, p.hInstance = instance();
        p.pszTemplate = MAKEINTRESOURCEA(specs[i].templateId), p.pszTitle = MAKEINTRESOURCEA(specs[i].titleId);
        p.pfnDlgProc = &rawPageProc, p.lParam = reinterpret_cast<LPARAM>(&specs[i]);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof(header), header.hInstance = instance(), header.pszCaption = "Sheet";
    header.dwFlags = (wizard ? PSH_WIZARD97 | PSH_WATERMARK | PSH_HEADER : 0) | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK), header.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
    header.nPages = UINT(pages.size()), header.ppsp = pages.data(), header.pfnCallback = &rawSheetCallback, rawSheet = nullptr;
    return drive([] { return rawSheet; }, steps, [&] { return ::PropertySheetA(&header); });
}

Outcome runLibrary(std::vector<PageSpec> specs, bool wizard, const std::vector<Step>& steps) {
    auto sheet = wizard ? std::make_unique<PropertySheet>(nullptr, IDB_WATERMARK, IDB_HEADER, instance())
                        : std::make_unique<PropertySheet>(nullptr);
    std::vector<std::unique_ptr<Page>> pages;
    for (PageSpec& spec : specs)
        pages.emplace_back(new Page(spec, *sheet)), sheet->addPage(pages.back().get());
    sheet->setTitle(L"Sheet");
    Outcome run = drive([&] { return HWND(*sheet); }, steps, [&] { return INT_PTR(sheet->showModal()); });
    for (auto& page : pages)
        EXPECT_FALSE(page->isCreated() || page->isOpen() || page->releases != 1) << "the sheet released every page it made, once";
    EXPECT_FALSE(sheet->isOpen()) << "the sheet's window is gone with the sheet";
    return run;
}

TEST(SheetNotifications, LibraryPagesTellTheStoryOfRawPages) {
    // The wizard's first page jumps over the second, its last one back to the first.
    const struct { const char* name; std::vector<PageSpec> pages; bool wizard; std::vector<Step> steps;
                   std::vector<std::string> shown; bool finished; } cases[] = {
        {"switched and confirmed",
         {{"General", IDD_PAGE_GENERAL, IDS_GENERAL, {}}, {"Details", IDD_PAGE_DETAILS, IDS_DETAILS, {}}},
         false, {select(1), changed(1), select(0), press(PSBTN_OK)}, {"General", "Details", "Details", "General"}, true},
        {"leaving and cancelling refused once",
         {{"General", IDD_PAGE_GENERAL, IDS_GENERAL, {0, 0, 1}}, {"Details", IDD_PAGE_DETAILS, IDS_DETAILS, {0, 0, 0, 1}}},
         false, {select(1), select(1), press(PSBTN_CANCEL), press(PSBTN_CANCEL)},
         {"General", "General", "Details", "Details"}, false},
        {"wizard: next jumps, back jumps, finish refused once",
         {{"Welcome", IDD_WIZARD_FIRST, IDS_GENERAL, {IDD_WIZARD_THIRD, 0, 0, 0, 0, PSWIZB_NEXT}},
          {"Choices", IDD_WIZARD_SECOND, IDS_DETAILS, {0, 0, 0, 0, 0, PSWIZB_BACK | PSWIZB_NEXT}},
          {"Done", IDD_WIZARD_THIRD, IDS_GENERAL, {0, IDD_WIZARD_FIRST, 0, 0, 1, PSWIZB_BACK | PSWIZB_FINISH}}},
         true, {press(PSBTN_NEXT), press(PSBTN_BACK), press(PSBTN_NEXT), press(PSBTN_FINISH), press(PSBTN_FINISH)},
         {"Welcome", "Done<", "Welcome", "Done<", "Done<"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome raw = runRaw(c.pages, c.wizard, c.steps), library = runLibrary(c.pages, c.wizard, c.steps);
        EXPECT_EQ(library.journal, raw.journal);
        EXPECT_EQ(c.shown, raw.shown);
        EXPECT_EQ(c.shown, library.shown);
        EXPECT_TEXT((vesk_test::text{raw.result, c.finished}), library.result, library.result != 0);
    }
    EXPECT_EQ(Window::getRegisteredCount(), 0u);

    // Pages of the library's own defaults accept everything.
    PropertyPage first(IDD_WIZARD_FIRST, IDS_GENERAL, instance()), last(IDD_WIZARD_THIRD, IDS_DETAILS, instance());
    PropertySheet wizard(nullptr);
    wizard.setWizardMode(true), wizard.addPage(&first), wizard.addPage(&last);
    const Outcome run = drive([&wizard] { return HWND(wizard); }, {press(PSBTN_NEXT), press(PSBTN_FINISH)},
                              [&] { return INT_PTR(wizard.showModal()); });
    ASSERT_EQ(2u, run.shown.size());
    EXPECT_TEXT("1 1 1", run.shown[0].rfind("Welcome", 0) == 0, run.shown[1].rfind("Done", 0) == 0, run.result != 0);
}

TEST(SheetRecords, HeaderAndPageFlagsAndPageLifetime) {
    PropertySheet sheet(nullptr), wizard(nullptr, IDB_WATERMARK, IDB_HEADER, instance());
    EXPECT_TRUE(sheet.getHeader().dwSize == sizeof(PROPSHEETHEADERA) && sheet.getHeader().dwFlags == PSH_USECALLBACK);
    EXPECT_TRUE(wizard.getHeader().dwFlags == 0x01088100u && wizard.getHeader().pszbmHeader == MAKEINTRESOURCEA(IDB_HEADER));
    const struct { std::function<void(PropertySheet&)> change; DWORD set, clear; } cases[] = {
        {[](PropertySheet& s) { s.setWizardMode(true); }, PSH_WIZARD_LITE, PSH_WIZARD | PSH_WIZARD97},
        {[](PropertySheet& s) { s.setWizardMode(false); }, PSH_WIZARD, PSH_WIZARD_LITE | PSH_WIZARD97},
        {[](PropertySheet& s) { s.setStartPageByResource(IDD_PAGE_DETAILS); }, PSH_USEPSTARTPAGE, 0},
        {[](PropertySheet& s) { s.setStartPageByIndex(1); }, 0, PSH_USEPSTARTPAGE},
        {[](PropertySheet& s) { s.setIcon(5, instance()); }, PSH_USEICONID, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ((c.change(wizard), wizard.getHeader().dwFlags & (c.set | c.clear)), c.set);
    sheet.setTitle(static_cast<const char*>(nullptr));
    EXPECT_TEXT(" 1", sheet.getHeader().pszCaption, wizard.getHeader().nStartPage);
    const bool utf8 = GetACP() == CP_UTF8; // the suite's second build: a title beyond 1252
    sheet.setTitle(utf8 ? L"\u0395\u03BB\u03BB\u03AC\u03B4\u03B1 \u041C\u0438\u0440 \u4E2D\u6587" : L"Gr\u00FC\u00DFe");
    EXPECT_STREQ(sheet.getHeader().pszCaption, utf8 ? "\u0395\u03BB\u03BB\u03AC\u03B4\u03B1 \u041C\u0438\u0440 \u4E2D\u6587" : "Gr\xFC\xDF" "e");

    PropertyPage page(IDD_PAGE_GENERAL, IDS_GENERAL, instance());
    const PROPSHEETPAGEA& p = page.getInitData();
    EXPECT_TEXT("1 1 1", p.dwSize == sizeof(PROPSHEETPAGEA), p.lParam == LPARAM(&page), p.dwFlags == DWORD(PSP_USECALLBACK | PSP_USETITLE));
    page.setHeader(IDS_HEADER_TITLE, IDS_HEADER_SUBTITLE);
    EXPECT_TEXT("3 1 0", (p.dwFlags & (PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE)) / PSP_USEHEADERTITLE,
                (page.enableWatermark(true), page.isWatermarkEnabled()), (p.dwFlags & PSP_USEHEADERSUBTITLE) != 0);
    page.setHeader(IDS_HEADER_TITLE, 0);
    EXPECT_FALSE(page.isWatermarkEnabled() || p.pszHeaderSubTitle);

    // Pages are made once and destroyed with their object.
    auto made = std::make_unique<PropertyPage>(IDD_PAGE_GENERAL, instance());
    EXPECT_TEXT("1 1", made->create() == made->create(), made->isCreated());
    made.reset();  // destroys the system's page; a leak or a double free would show under the debug heap

    // A record the system refuses: nothing is shown, the pages made so far stay with their objects.
    PropertyPage good(IDD_PAGE_GENERAL, instance()), refused(IDD_PAGE_DETAILS, instance());
    refused.getInitData().dwSize = 0;
    PropertySheet refusing(nullptr);
    refusing.addPage(&good), refusing.addPage(&refused);
    EXPECT_TEXT("Can't create property page 1 0 0", failureOf([&] { refusing.showModal(); }), good.isCreated(), refused.isCreated(),
                refusing.isOpen());
    EXPECT_THROW(refusing.addPage(nullptr), WindowsError);
}

} // namespace
