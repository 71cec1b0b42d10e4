// PropertySheet: assembles PropertyPages into a system property sheet or
// wizard and shows it modally. PropertyPage: a Dialog that is one page of such
// a sheet and turns the sheet's notifications into virtual calls.
//
// The sheet learns its window while the system starts it (the sheet callback
// enters it for the object being shown, PropertySheet::InitializingSheet), so
// the object's sends (setWizardButtons, pressButton, activate, ...) reach the
// running sheet; the sheet window's own messages are not dispatched to it.
// Only one sheet can be starting at a time.
//
//   Page general(IDD_GENERAL, instance), details(IDD_DETAILS, instance);
//   vesk::PropertySheet sheet(owner);
//   sheet.setTitle("Settings");
//   sheet.addPage(&general);
//   sheet.addPage(&details);
//   sheet.showModal();
#pragma once

#include <vesk/gui/dialog.h>

#include <prsht.h>

#include <list>

// The system header names its function PropertySheet too, as a macro for the
// A or W form; the class keeps the name (call ::PropertySheetA directly).
#ifdef PropertySheet
#undef PropertySheet
#endif

namespace vesk {

class PropertyPage;

class VESK_API PropertySheet : public Window {
public:
    // The wizard-button flags of setWizardButtons.
    enum wizard_buttons : unsigned long {
        back_button = PSWIZB_BACK,
        next_button = PSWIZB_NEXT,
        finish_button = PSWIZB_FINISH,
        disabled_finish_button = PSWIZB_DISABLEDFINISH,
    };
    // The buttons pressButton presses.
    enum button : int {
        press_back = PSBTN_BACK,
        press_next = PSBTN_NEXT,
        press_finish = PSBTN_FINISH,
        press_ok = PSBTN_OK,
        press_apply = PSBTN_APPLYNOW,
        press_cancel = PSBTN_CANCEL,
        press_help = PSBTN_HELP,
    };

    // An ordinary property sheet.
    explicit PropertySheet(HWND parent);
    // A wizard of the newer style, with a watermark and a header bitmap.
    PropertySheet(HWND parent, unsigned short watermarkId, unsigned short headerId, HINSTANCE instance);
    ~PropertySheet() override;

    void setStartPageByIndex(unsigned index);
    void setStartPageByResource(unsigned short id);
    // true: a wizard of the lighter style; false: a wizard of the classic style.
    void setWizardMode(bool lite);
    void setIcon(int id, HINSTANCE instance);
    void setTitle(const char* text);
    void setTitle(const wchar_t* text);
    // The sheet does not own its pages; each must outlive the sheet's showing.
    void addPage(PropertyPage* page);
    const std::list<PropertyPage*>& getPages() const { return pages; }
    const PROPSHEETHEADERA& getHeader() const { return header; }

    // Shows the sheet and returns when it closes, with the system's result.
    unsigned short showModal();

    // ---- Messages to the running sheet ----------------------------------------
    void setWizardButtons(unsigned long flags, bool post) const;
    void restartWindows() const;
    void rebootSystem() const;
    void pressButton(int button) const;
    void activate(int id) const;
    void activate(PropertyPage* page, unsigned index) const;
    void setFinishText(const char* text) const;

private:
    static int CALLBACK callback(HWND sheet, UINT message, LPARAM lParam);

    PROPSHEETHEADERA header;
    BasicString<char> title;
    std::list<PropertyPage*> pages;
    static PropertySheet* InitializingSheet;
};

class VESK_API PropertyPage : public Dialog {
public:
    PropertyPage(unsigned short templateId, HINSTANCE instance);
    PropertyPage(unsigned short templateId, unsigned short titleId, HINSTANCE instance);
    // Destroys a page the system has not released.
    ~PropertyPage() override;

    // Makes the system's page once; later calls give the same handle.
    HPROPSHEETPAGE create();
    bool isCreated() const { return pageHandle != nullptr; }
    HPROPSHEETPAGE getPageHandle() const { return pageHandle; }
    PROPSHEETPAGEA& getInitData() { return page; }

    void enableWatermark(bool enable);
    bool isWatermarkEnabled() const;
    void setHeader(unsigned short titleId, unsigned short subtitleId);
    void clearHeader();

    // The system released the page (the sheet destroyed it).
    virtual void release();

protected:
    LRESULT onNotify(const NMHDR& header) override;

    // 0 goes to the next page, -1 stays, a template identifier jumps to it.
    virtual int onNext();
    virtual int onBack();
    // true keeps the wizard open.
    virtual bool onFinish();
    // 0 accepts the activation, -1 refuses it, a template identifier jumps.
    virtual int onActivate();
    // true keeps the page.
    virtual bool onDeactivate();
    // true keeps the sheet open.
    virtual bool onCancel();

private:
    friend class PropertySheet;
    void initialize(unsigned short templateId, unsigned short titleId, HINSTANCE instance);
    static INT_PTR CALLBACK dlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static UINT CALLBACK propSheetPageProc(HWND hwnd, UINT message, PROPSHEETPAGEA* page);

    PROPSHEETPAGEA page;
    HPROPSHEETPAGE pageHandle;
};

} // namespace vesk
