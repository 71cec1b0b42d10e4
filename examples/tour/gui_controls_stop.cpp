// Tour stop: a form with one of every control, filled through the control
// objects and read back; its screenshot is left beside the program as
// tour-controls.png; then the tree view's items are walked and printed.
#include "tour.h"

#include "control_form.h"
#include "png_writer.h"

#include <vesk/gui/window_class.h>

#include <string>

namespace {

void printTree(const vesk::TreeView& tree, HTREEITEM item, int depth) {
    for (; item; item = tree.getNextSibling(item)) {
        std::printf("  %*s%s %s\n", depth * 2, "", tree.getChild(item) ? "+" : "-", tree.getItemTextA(item).c_str());
        printTree(tree, tree.getChild(item), depth + 1);
    }
}

void guiControlsStop() {
    vesk::WindowClass windowClass(0, 0, nullptr, unsigned(COLOR_BTNFACE), LoadCursorA(nullptr, IDC_ARROW),
                                  GetModuleHandleA(nullptr));
    form::ControlForm f;
    f.open(windowClass, true);
    f.fill();
    // The tour runs with the UTF-8 code page: narrow text carries Greek and
    // Cyrillic as well (the library's narrow calls take UTF-8).
    f.edit.setText("Αλίκη Ιβάνοβα");
    f.combo.addString("Καφές φίλτρου");
    f.combo.setCurrentSelection(f.combo.getCount() - 1);
    f.list.addString("Сливки");
    f.list.addString("Корица");
    f.list.setSelection(f.list.getCount() - 1, true);
    f.listView.setItemText(0, "Средний", 1);
    f.tree.insertItem("Напитки: Чай", 1, 1, f.tree.getRoot(), TVI_FIRST);
    f.parent.setText("Vesk++ controls: Ελληνικά, Кириллица");
    f.parent.update();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        vesk::Window::dispatchMessage(msg);

    std::printf("name \"%s\", drink \"%s\", size %d, gift wrap %s\n", f.edit.getTextA().c_str(),
                f.combo.getStringA(f.combo.getCurrentSelection()).c_str(), f.radios.getSelection(),
                f.check.getCheck() == vesk::Window::checked ? "yes" : "no");
    std::printf("extras:");
    for (unsigned i : f.list.getSelectedItems())
        std::printf(" \"%s\"", f.list.getStringA(i).c_str());
    std::printf("\nprogress %d of %d, strength %d (selection %d..%d), %u orders listed\n", f.progress.getPos(),
                f.progress.getMax(), f.track.getPosition(), f.track.getSelectionStart(), f.track.getSelectionEnd(),
                f.listView.getItemCount());
    const png::Image shot = png::capture(f.parent);
    const std::string file = tour::besideProgram("tour-controls.png");
    std::printf("screenshot %dx%d %s %s\n", shot.width, shot.height,
                png::save(shot, file) ? "saved to" : "could not be saved to", file.c_str());
    std::printf("the tree view, selected \"%s\":\n", f.tree.getItemTextA(f.tree.getSelectedItem()).c_str());
    printTree(f.tree, f.tree.getRoot(), 0);
    f.close();
}

} // namespace

TOUR_STOP(82, "Windows: a form with every control, and a tree view", guiControlsStop);
