// COMPropertyPage: a dialog of the library hosted by a property frame as an
// OLE property page (IPropertyPage). The deriving class counts references
// (AddRef and Release) and may answer more interfaces in queryInterface; a
// class that also derives from IUnknownImpl overrides one queryInterface for both.
//
// The page's template must make a child window (WS_CHILD): the frame gives the
// parent and the rectangle at Activate.
#pragma once

#include <vesk/com/unknown.h>
#include <vesk/gui/dialog.h>

#include <ocidl.h>

namespace vesk {

class VESK_API COMPropertyPage : public Dialog, public IPropertyPage {
public:
    COMPropertyPage(unsigned short dialogId, unsigned short titleId, HINSTANCE instance);
    COMPropertyPage(unsigned short dialogId, HINSTANCE instance);
    // Releases the site and destroys the page window.
    ~COMPropertyPage() override;

    // IPropertyPage and IUnknown give this face with a reference added.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR path) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

    const COMInterfacePointer<IPropertyPageSite>& getSite() const { return site; }
    bool isDirty() const { return dirty; }

protected:
    // The default ignores the objects and marks the page clean.
    virtual void setObjects(IUnknown* const* objects, unsigned int count);
    // The default creates the page as a modeless child of parent, moves it to
    // the rectangle and shows it.
    virtual void activate(HWND parent, const RECT& rect, bool modal);
    // Writes the page's values to its objects; false: they could not be applied.
    virtual bool apply();
    // The interface for iid, or null; answers IID_IPropertyPage.
    virtual void* queryInterface(const GUID& iid);

    // Tells the site when the page becomes dirty or clean.
    void setDirty(bool value);

private:
    COMInterfacePointer<IPropertyPageSite> site;
    unsigned short titleId;
    bool dirty;
};

} // namespace vesk
