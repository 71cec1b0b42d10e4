// Dialog: a Window made from a dialog template, modeless (create) or modal
// (showModal), whose messages come through a dialog procedure.
//
// The dialog procedure hands every message to the same dispatch as a window's
// (onMessage and the virtual handlers). A handler that asks for default
// processing makes the procedure answer FALSE, so that the dialog manager does
// its own work; any other handler answers TRUE with its result in the dialog's
// message result. OK, Cancel and Close end a modal dialog with their identifier.
//
// The template comes from a resource (an identifier in a module) or from
// memory (a DLGTEMPLATE the caller keeps alive while the dialog is made).
#pragma once

#include <vesk/gui/window.h>

namespace vesk {

class VESK_API Dialog : public Window {
public:
    Dialog();
    Dialog(HWND parent, unsigned short templateId, HINSTANCE instance);
    Dialog(unsigned short templateId, HINSTANCE instance);
    Dialog(HWND parent, const DLGTEMPLATE* dialogTemplate, HINSTANCE instance);
    ~Dialog() override;

    // Modeless: the object owns the dialog window and destroys it with itself.
    void create(HWND parent, unsigned short templateId, HINSTANCE instance);
    void create(HWND parent, const DLGTEMPLATE* dialogTemplate, HINSTANCE instance);
    void create(HWND parent);
    void create();
    // Runs the dialog's own loop until end (or OK, Cancel, Close) and returns
    // the result it was ended with.
    int showModal() const;

    // The size of the dialog; without a window, of the template as the system
    // lays it out (a hidden scratch dialog is made and destroyed).
    SIZE getWindowSize();
    HINSTANCE getInstance() const { return instance; }
    unsigned short getTemplateId() const { return templateId; }

protected:
    void end(int result) const;

    // WM_INITDIALOG reaches onInitDialog with the control that is to get the focus.
    LRESULT onMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void defaultWindowProc() override;
    void onCommand(Window* control, unsigned short code, unsigned short id) override;
    void onPaint() override;
    HICON onQueryDragIcon() override;
    // The control that is to get the focus; true lets the system give it.
    virtual bool onInitDialog(Window& focus);

    static INT_PTR CALLBACK dlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // The procedure's answer for one message dispatched to a dialog object.
    static INT_PTR answer(Dialog& dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    // WM_INITDIALOG for the object that is to answer for hwnd.
    static INT_PTR initialize(Dialog& dialog, HWND hwnd, WPARAM focus);

    unsigned short templateId;
    HINSTANCE instance;
    HWND parent;
    // Set when the dialog is made from memory instead of a resource.
    const DLGTEMPLATE* dialogTemplate;

private:
    // The template name for the system: a resource identifier.
    LPCSTR templateName() const { return MAKEINTRESOURCEA(templateId); }
};

} // namespace vesk
