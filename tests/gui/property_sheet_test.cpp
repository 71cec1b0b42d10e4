// Property sheets and wizards under the run's Xvfb: each sheet is switched and
// finished (or cancelled) from the test by a thread timer inside the sheet's
// own loop, and every notification must reach its page in the order the system
// sends it: the library's pages and raw PROPSHEETPAGE dialog procedures answer
// from one table of behaviours, and their recorded sequences, the pages the
// sheet ends up on and the sheet's result are compared. Also: the header and
// page records the library fills, page creation and release, and a
// screenshot of a running sheet written as PNG.
#include <vesk/errors/exception.h>
#include <vesk/gui/property_sheet.h>

#include "../../examples/tour/png_writer.h"
#include "dialog_resources.h"
#include "watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using namespace vesk;

namespace {

vesk_test::Watchdog watchdog(120);

HINSTANCE instance() { return GetModuleHandleA(nullptr); }

std::vector<std::string> journal;

const char* codeName(UINT code) {
    switch (code) {
    case PSN_SETACTIVE: return "setactive";
    case PSN_KILLACTIVE: return "killactive";
    case PSN_APPLY: return "apply";
    case PSN_RESET: return "reset";
    case PSN_HELP: return "help";
    case PSN_WIZBACK: return "back";
    case PSN_WIZNEXT: return "next";
    case PSN_WIZFINISH: return "finish";
    case PSN_QUERYCANCEL: return "querycancel";
    default: return nullptr;
    }
}

// What one page answers, shared by the library's page and the raw procedure.
struct Behaviour {
    int next = 0, back = 0, activate = 0;
    int keepOnLeave = 0;     // refuse leaving this many times
    int refuseCancel = 0;    // refuse cancelling this many times
    int refuseFinish = 0;    // refuse finishing this many times
    DWORD wizardButtons = 0; // set on activation, when non-zero
};

struct PageState {
    const char* name;
    Behaviour behaviour;
};

// Logs the notification and gives the answer the page's behaviour asks for.
LRESULT respond(PageState& page, UINT code, HWND sheet) {
    const char* name = codeName(code);
    if (!name)
        return 0;
    journal.push_back(std::string(page.name) + ":" + name);
    Behaviour& b = page.behaviour;
    switch (code) {
    case PSN_SETACTIVE:
        if (b.wizardButtons)
            SendMessageA(sheet, PSM_SETWIZBUTTONS, 0, LPARAM(b.wizardButtons));
        return b.activate;
    case PSN_KILLACTIVE: return b.keepOnLeave > 0 ? (b.keepOnLeave--, 1) : 0;
    case PSN_WIZNEXT: return b.next;
    case PSN_WIZBACK: return b.back;
    case PSN_WIZFINISH: return b.refuseFinish > 0 ? (b.refuseFinish--, 1) : 0;
    case PSN_QUERYCANCEL: return b.refuseCancel > 0 ? (b.refuseCancel--, 1) : 0;
    default: return 0;
    }
}

// ---- The library's page -------------------------------------------------------------

class Page : public PropertyPage {
public:
    Page(PageState& s, unsigned short templateId, unsigned short titleId, PropertySheet*& owner)
        : PropertyPage(templateId, titleId, ::instance()), state(s), sheet(owner) {}
    int releases = 0;
    using PropertyPage::onNotify;

protected:
    bool onInitDialog(Window&) override {
        journal.push_back(std::string(state.name) + ":init");
        return true;
    }
    LRESULT call(int code) { return respond(state, UINT(code), sheet ? HWND(*sheet) : nullptr); }
    int onActivate() override {
        if (state.behaviour.wizardButtons && sheet) {
            // The library's own way to the buttons, not the raw message.
            journal.push_back(std::string(state.name) + ":setactive");
            sheet->setWizardButtons(state.behaviour.wizardButtons, false);
            return state.behaviour.activate;
        }
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
    void release() override {
        ++releases;
        PropertyPage::release();
    }

private:
    PageState& state;
    PropertySheet*& sheet;
};

// ---- The raw pages --------------------------------------------------------------------

INT_PTR CALLBACK rawPageProc(HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* state = reinterpret_cast<PageState*>(reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        journal.push_back(std::string(state->name) + ":init");
        return TRUE;
    }
    auto* state = reinterpret_cast<PageState*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message != WM_NOTIFY || !state)
        return FALSE;
    const NMHDR& h = *reinterpret_cast<const NMHDR*>(lParam);
    if (!codeName(h.code))
        return FALSE;
    SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, respond(*state, h.code, GetParent(hwnd)));
    return TRUE;
}

HWND rawSheet = nullptr;
int CALLBACK rawSheetCallback(HWND sheet, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED)
        rawSheet = sheet;
    return 0;
}

// ---- The driver -----------------------------------------------------------------------

// Steps run one per timer tick inside the sheet's loop, once the sheet exists;
// each step also notes which page is current.
struct Script {
    Script(std::function<HWND()> s, std::vector<std::function<void(HWND)>> st) : sheet(s), steps(st) {}
    std::function<HWND()> sheet;
    std::vector<std::function<void(HWND)>> steps;
    std::size_t next = 0;
    std::vector<std::string> currentPages;
};
Script* running = nullptr;

std::string currentPage(HWND sheet) {
    HWND page = HWND(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    char title[64] = {};
    GetWindowTextA(page, title, sizeof(title));
    return title;
}

void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
    if (!running)
        return;
    HWND sheet = running->sheet();
    if (!sheet || !IsWindow(sheet) || running->next >= running->steps.size())
        return;
    running->currentPages.push_back(currentPage(sheet));
    running->steps[running->next++](sheet);
}

struct Outcome {
    std::vector<std::string> journal, currentPages;
    INT_PTR result;
};

template <class Show> Outcome drive(Script& script, Show show) {
    journal.clear();
    running = &script;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &tick);
    Outcome run;
    run.result = show();
    KillTimer(nullptr, timer);
    running = nullptr;
    run.journal = journal;
    run.currentPages = script.currentPages;
    return run;
}

struct PageSpec {
    const char* name;
    unsigned short templateId;
    unsigned short titleId;
    Behaviour behaviour;
};

std::function<void(HWND)> press(int button) {
    return [button](HWND sheet) { SendMessageA(sheet, PSM_PRESSBUTTON, WPARAM(button), 0); };
}
std::function<void(HWND)> select(int index) {
    return [index](HWND sheet) { SendMessageA(sheet, PSM_SETCURSEL, WPARAM(index), 0); };
}
std::function<void(HWND)> changed(int index) {
    return [index](HWND sheet) {
        HWND page = HWND(SendMessageA(sheet, PSM_INDEXTOHWND, WPARAM(index), 0));
        SendMessageA(sheet, PSM_CHANGED, WPARAM(page), 0);
    };
}
// The last step of every script ends the sheet whatever state it is in.
std::function<void(HWND)> closeAnyway() {
    return [](HWND sheet) { PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0); };
}

Outcome runRaw(const std::vector<PageSpec>& specs, DWORD flags, const std::vector<std::function<void(HWND)>>& steps) {
    std::vector<PageState> states;
    for (const PageSpec& s : specs)
        states.push_back(PageState{s.name, s.behaviour});
    std::vector<PROPSHEETPAGEA> pages(specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) {
        PROPSHEETPAGEA& p = pages[i];
        p.dwSize = sizeof(p);
        p.dwFlags = PSP_USETITLE;
        p.hInstance = instance();
        p.pszTemplate = MAKEINTRESOURCEA(specs[i].templateId);
        p.pszTitle = MAKEINTRESOURCEA(specs[i].titleId);
        p.pfnDlgProc = &rawPageProc;
        p.lParam = reinterpret_cast<LPARAM>(&states[i]);
    }
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof(header);
    header.dwFlags = flags | PSH_PROPSHEETPAGE | PSH_USECALLBACK;
    header.hInstance = instance();
    header.pszCaption = "Sheet";
    header.pszbmWatermark = MAKEINTRESOURCEA(IDB_WATERMARK);
    header.pszbmHeader = MAKEINTRESOURCEA(IDB_HEADER);
    header.nPages = UINT(pages.size());
    header.ppsp = pages.data();
    header.pfnCallback = &rawSheetCallback;
    rawSheet = nullptr;
    Script script([] { return rawSheet; }, steps);
    script.steps.push_back(closeAnyway());
    return drive(script, [&] { return ::PropertySheetA(&header); });
}

Outcome runLibrary(const std::vector<PageSpec>& specs, PropertySheet& sheet,
               const std::vector<std::function<void(HWND)>>& steps, std::vector<int>* releases = nullptr) {
    std::vector<PageState> states;
    for (const PageSpec& s : specs)
        states.push_back(PageState{s.name, s.behaviour});
    PropertySheet* owner = &sheet;
    std::vector<std::unique_ptr<Page>> pages;
    for (std::size_t i = 0; i < specs.size(); ++i) {
        pages.emplace_back(new Page(states[i], specs[i].templateId, specs[i].titleId, owner));
        sheet.addPage(pages.back().get());
    }
    sheet.setTitle(L"Sheet");
    Script script([&sheet] { return HWND(sheet); }, steps);
    script.steps.push_back(closeAnyway());
    Outcome run = drive(script, [&] { return INT_PTR(sheet.showModal()); });
    for (auto& page : pages) {
        EXPECT_FALSE(page->isCreated()) << "the sheet released every page it made";
        EXPECT_FALSE(page->isOpen());
        if (releases)
            releases->push_back(page->releases);
    }
    return run;
}

void expectSameStory(const Outcome& library, const Outcome& raw) {
    EXPECT_EQ(library.journal, raw.journal);
    EXPECT_EQ(library.currentPages, raw.currentPages);
    EXPECT_EQ(library.result, raw.result);
    EXPECT_FALSE(library.journal.empty());
}

const Behaviour plain;

} // namespace

// ---- Notifications in order ---------------------------------------------------------------

TEST(SheetNotifications, OrdinarySheetSwitchedAndConfirmed) {
    const std::vector<PageSpec> specs{{"General", IDD_PAGE_GENERAL, IDS_GENERAL, plain},
                                      {"Details", IDD_PAGE_DETAILS, IDS_DETAILS, plain}};
    const std::vector<std::function<void(HWND)>> steps{select(1), changed(1), select(0), press(PSBTN_OK)};
    const Outcome raw = runRaw(specs, 0, steps);
    PropertySheet sheet(nullptr);
    std::vector<int> releases;
    const Outcome library = runLibrary(specs, sheet, steps, &releases);
    expectSameStory(library, raw);
    EXPECT_EQ(library.currentPages, (std::vector<std::string>{"General", "Details", "Details", "General"}));
    EXPECT_EQ(releases, (std::vector<int>{1, 1}));
    EXPECT_EQ(std::count(library.journal.begin(), library.journal.end(), "Details:apply"), 1);
    EXPECT_EQ(library.journal.front(), "General:init");
    EXPECT_FALSE(sheet.isOpen()) << "the sheet's window is gone with the sheet";
    EXPECT_EQ(Window::getRegisteredCount(), 0u);
}

TEST(SheetNotifications, PagesThatRefuseLeavingAndCancelling) {
    Behaviour stays, keeps;
    stays.keepOnLeave = 1;
    keeps.refuseCancel = 1;
    const std::vector<PageSpec> specs{{"General", IDD_PAGE_GENERAL, IDS_GENERAL, stays},
                                      {"Details", IDD_PAGE_DETAILS, IDS_DETAILS, keeps}};
    const std::vector<std::function<void(HWND)>> steps{select(1), select(1), press(PSBTN_CANCEL),
                                                       press(PSBTN_CANCEL)};
    const Outcome raw = runRaw(specs, 0, steps);
    PropertySheet sheet(nullptr);
    const Outcome library = runLibrary(specs, sheet, steps);
    expectSameStory(library, raw);
    // Refused once, then switched; cancel refused once, then the sheet closed.
    EXPECT_EQ(library.currentPages, (std::vector<std::string>{"General", "General", "Details", "Details"}));
    EXPECT_EQ(library.result, 0) << "a cancelled sheet";
}

TEST(SheetNotifications, WizardNextJumpBackAndFinish) {
    Behaviour first, second, third;
    first.next = IDD_WIZARD_THIRD;  // jumps over the second page
    first.wizardButtons = PSWIZB_NEXT;
    second.wizardButtons = PSWIZB_BACK | PSWIZB_NEXT;
    third.refuseFinish = 1;
    third.wizardButtons = PSWIZB_BACK | PSWIZB_FINISH;
    const std::vector<PageSpec> specs{{"Welcome", IDD_WIZARD_FIRST, IDS_GENERAL, first},
                                      {"Choices", IDD_WIZARD_SECOND, IDS_DETAILS, second},
                                      {"Done", IDD_WIZARD_THIRD, IDS_GENERAL, third}};
    std::vector<bool> backEnabled;
    auto noteBack = [&backEnabled](HWND sheet) { backEnabled.push_back(IsWindowEnabled(GetDlgItem(sheet, 0x3023))); };
    const std::vector<std::function<void(HWND)>> steps{
        noteBack, press(PSBTN_NEXT), press(PSBTN_BACK), press(PSBTN_NEXT), press(PSBTN_FINISH), press(PSBTN_FINISH)};
    const Outcome raw = runRaw(specs, PSH_WIZARD97 | PSH_WATERMARK | PSH_HEADER, steps);
    PropertySheet wizard(nullptr, IDB_WATERMARK, IDB_HEADER, instance());
    const Outcome library = runLibrary(specs, wizard, steps);
    expectSameStory(library, raw);
    EXPECT_EQ(library.currentPages,
              (std::vector<std::string>{"Welcome", "Welcome", "Done", "Choices", "Done", "Done"}));
    EXPECT_EQ(backEnabled, (std::vector<bool>{false, false}));
    EXPECT_EQ(std::count(library.journal.begin(), library.journal.end(), "Done:finish"), 2);
    EXPECT_EQ(std::count(library.journal.begin(), library.journal.end(), "Choices:next"), 1);
    EXPECT_NE(library.result, 0) << "a finished wizard";
}

TEST(SheetNotifications, DefaultPagesAcceptEverything) {
    // Pages without overrides: activation accepted, leaving, next and finishing allowed.
    PropertyPage first(IDD_WIZARD_FIRST, IDS_GENERAL, instance()), last(IDD_WIZARD_THIRD, IDS_DETAILS, instance());
    PropertySheet wizard(nullptr);
    wizard.setWizardMode(true);
    wizard.addPage(&first);
    wizard.addPage(&last);
    Script script([&wizard] { return HWND(wizard); }, {press(PSBTN_NEXT), press(PSBTN_FINISH), closeAnyway()});
    const Outcome run = drive(script, [&] { return INT_PTR(wizard.showModal()); });
    EXPECT_EQ(run.currentPages, (std::vector<std::string>{"Welcome", "Done"}));
    EXPECT_NE(run.result, 0);
}

// ---- Records, creation, release and failures ------------------------------------------------

TEST(SheetRecords, HeaderAndPageFlags) {
    PropertySheet sheet(nullptr);
    const PROPSHEETHEADERA& h = sheet.getHeader();
    EXPECT_EQ(h.dwSize, sizeof(PROPSHEETHEADERA));
    EXPECT_EQ(h.dwFlags, DWORD(PSH_USECALLBACK));
    PropertySheet wizard(nullptr, IDB_WATERMARK, IDB_HEADER, instance());
    EXPECT_EQ(wizard.getHeader().dwFlags, 0x01088100u);
    EXPECT_EQ(wizard.getHeader().pszbmHeader, MAKEINTRESOURCEA(IDB_HEADER));
    struct Case {
        std::function<void(PropertySheet&)> change;
        DWORD set, clear;
    } cases[] = {
        {[](PropertySheet& s) { s.setWizardMode(true); }, PSH_WIZARD_LITE, PSH_WIZARD | PSH_WIZARD97},
        {[](PropertySheet& s) { s.setWizardMode(false); }, PSH_WIZARD, PSH_WIZARD_LITE | PSH_WIZARD97},
        {[](PropertySheet& s) { s.setStartPageByResource(IDD_PAGE_DETAILS); }, PSH_USEPSTARTPAGE, 0},
        {[](PropertySheet& s) { s.setStartPageByIndex(1); }, 0, PSH_USEPSTARTPAGE},
        {[](PropertySheet& s) { s.setIcon(5, instance()); }, PSH_USEICONID, 0},
    };
    for (const Case& c : cases) {
        c.change(wizard);
        EXPECT_EQ(wizard.getHeader().dwFlags & c.set, c.set);
        EXPECT_EQ(wizard.getHeader().dwFlags & c.clear, 0u);
    }
    EXPECT_EQ(wizard.getHeader().nStartPage, 1u);
    sheet.setTitle(static_cast<const char*>(nullptr));
    EXPECT_STREQ(sheet.getHeader().pszCaption, "");
    sheet.setTitle(L"Gr\u00FC\u00DFe");
    EXPECT_STREQ(sheet.getHeader().pszCaption, "Gr\xFC\xDF" "e");

    PropertyPage page(IDD_PAGE_GENERAL, IDS_GENERAL, instance());
    PROPSHEETPAGEA& p = page.getInitData();
    EXPECT_EQ(p.dwSize, sizeof(PROPSHEETPAGEA));
    EXPECT_EQ(p.dwFlags, DWORD(PSP_USECALLBACK | PSP_USETITLE));
    EXPECT_EQ(p.lParam, reinterpret_cast<LPARAM>(&page));
    page.setHeader(IDS_HEADER_TITLE, IDS_HEADER_SUBTITLE);
    EXPECT_EQ(p.dwFlags & (PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE), DWORD(PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE));
    page.enableWatermark(true);
    EXPECT_TRUE(page.isWatermarkEnabled());
    EXPECT_EQ(p.dwFlags & PSP_USEHEADERSUBTITLE, 0u);
    page.setHeader(IDS_HEADER_TITLE, 0);
    EXPECT_FALSE(page.isWatermarkEnabled());
    EXPECT_EQ(p.pszHeaderSubTitle, nullptr);
}

TEST(SheetRecords, PagesMadeOnceAndDestroyedWithTheirObject) {
    auto* page = new PropertyPage(IDD_PAGE_GENERAL, instance());
    EXPECT_FALSE(page->isCreated());
    HPROPSHEETPAGE made = page->create();
    EXPECT_EQ(page->create(), made);
    EXPECT_TRUE(page->isCreated());
    delete page;  // destroys the system's page; a leak or a double free would show under the debug heap

    // A record the system refuses: nothing is shown, the pages made so far stay
    // with their objects.
    PropertyPage good(IDD_PAGE_GENERAL, instance()), refused(IDD_PAGE_DETAILS, instance());
    refused.getInitData().dwSize = 0;
    PropertySheet sheet(nullptr);
    sheet.addPage(&good);
    sheet.addPage(&refused);
    try {
        sheet.showModal();
        ADD_FAILURE() << "a refused page must not show";
    } catch (const WindowsError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Can't create property page", 0), 0u) << e.what();
    }
    EXPECT_TRUE(good.isCreated());
    EXPECT_FALSE(refused.isCreated());
    EXPECT_FALSE(sheet.isOpen());
    EXPECT_THROW(sheet.addPage(nullptr), WindowsError);
}

TEST(SheetScreenshot, RunningSheetWrittenAsPNG) {
    const std::vector<PageSpec> specs{{"General", IDD_PAGE_GENERAL, IDS_GENERAL, plain},
                                      {"Details", IDD_PAGE_DETAILS, IDS_DETAILS, plain}};
    png::Image shot;
    PropertySheet sheet(nullptr);
    const std::vector<std::function<void(HWND)>> steps{
        [](HWND s) { UpdateWindow(s); }, [&shot](HWND s) { shot = png::capture(s); }, press(PSBTN_CANCEL)};
    runLibrary(specs, sheet, steps);
    RECT client{};
    ASSERT_GT(shot.width, 100);
    ASSERT_GT(shot.height, 100);
    const std::vector<unsigned char> file = png::encode(shot);
    ASSERT_GT(file.size(), 8u);
    EXPECT_EQ(std::string(file.begin() + 1, file.begin() + 4), "PNG");
    // The dialog face is drawn: most pixels are not black.
    std::size_t dark = 0;
    for (std::size_t i = 0; i + 2 < shot.rgb.size(); i += 3)
        dark += shot.rgb[i] + shot.rgb[i + 1] + shot.rgb[i + 2] < 30;
    EXPECT_LT(dark, shot.rgb.size() / 3 / 2);
    (void)client;
}
