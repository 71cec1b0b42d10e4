// Tour stop: a window of the library's own class that paints itself with the
// GDI wrappers (fills, 3D frames, text in both widths, a filled path and a
// transparent copy of a sprite), then leaves a screenshot of itself beside the
// program as tour-window.png and closes.
#include "tour.h"

#include "png_writer.h"

#include <vesk/gdi/device_context.h>
#include <vesk/gdi/gdi_object.h>
#include <vesk/gui/window.h>
#include <vesk/gui/window_class.h>

#include <string>

namespace {

class Showcase : public vesk::Window {
public:
    int paints = 0;

protected:
    void onPaint() override {
        using vesk::Rect;
        vesk::PaintDeviceContext dc(*this);
        const Rect client = getClientRectangle();
        dc.fillRectangle(RGB(236, 240, 244), client);

        // A banner with a raised frame and the library's name.
        const Rect banner(10, 10, client.right - 10, 62);
        dc.fillRectangle(RGB(38, 70, 120), banner);
        dc.drawRectangle3D(banner, RGB(120, 160, 220), RGB(10, 25, 60));
        vesk::Font title(dc.getFontHeightFromPoints(20), 0, 0, 0, FW_BOLD, false, false, false, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, "Tahoma");
        vesk::Font body(dc.getFontHeightFromPoints(10), 0, 0, 0, FW_NORMAL, false, false, false, DEFAULT_CHARSET,
                        OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, L"Tahoma");
        dc.select(static_cast<HFONT>(title));
        dc.setTextColour(RGB(255, 255, 255));
        dc.setBackgroundColour(RGB(38, 70, 120));
        dc.drawText(22, 18, "Vesk++ window");

        // Three panels: raised, sunken, and one with a path inside.
        dc.select(static_cast<HFONT>(body));
        dc.setTextColour(RGB(20, 20, 20));
        dc.setBackgroundColour(RGB(236, 240, 244));
        const char* captions[] = {"raised", "sunken", "path"};
        for (int i = 0; i < 3; ++i) {
            const Rect panel(Rect(10 + i * 110, 76, 110 + i * 110, 176));
            dc.drawRectangle3D(panel, i != 1);
            dc.drawText(int(panel.left) + 8, int(panel.bottom) - 22, captions[i]);
        }
        vesk::Brush gold(RGB(230, 170, 30));
        vesk::Pen outline(RGB(120, 80, 0), PS_SOLID, 2);
        dc.select(static_cast<HBRUSH>(gold));
        dc.select(static_cast<HPEN>(outline));
        dc.beginPath();
        const POINT star[] = {{270, 84}, {280, 112}, {308, 112}, {286, 128}, {294, 154},
                              {270, 138}, {246, 154}, {254, 128}, {232, 112}, {260, 112}};
        dc.moveTo(star[0]);
        for (const POINT& p : star)
            dc.lineTo(p);
        dc.closeFigure();
        dc.endPath();
        dc.strokeAndFillPath();

        // In the sunken panel: a sprite on a magenta key colour, copied
        // transparently over a checker.
        const int cell = 8;
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 10; ++x)
                dc.fillRectangle((x + y) % 2 ? RGB(200, 210, 225) : RGB(160, 175, 200),
                                 Rect(130 + x * cell, 100 + y * cell, 130 + (x + 1) * cell, 100 + (y + 1) * cell));
        vesk::Bitmap sprite(dc, 32, 32);
        {
            vesk::DeviceContext spriteDC(dc);
            spriteDC.select(sprite);
            spriteDC.fillRectangle(RGB(255, 0, 255), Rect(0, 0, 32, 32));
            vesk::Brush red(RGB(200, 40, 40));
            spriteDC.select(static_cast<HBRUSH>(red));
            spriteDC.beginPath();
            spriteDC.moveTo(16, 2);
            spriteDC.lineTo(30, 30);
            spriteDC.lineTo(2, 30);
            spriteDC.closeFigure();
            spriteDC.endPath();
            spriteDC.fillPath();
        }
        dc.blitTransparent(sprite, 0, 0, 32, 32, 154, 100, CLR_INVALID, nullptr);

        dc.drawText(12, 186, L"16-bit text: gr\u00FC\u00DFe, \u00BD, \u00A7 \u2014 drawn as it is");
        ++paints;
    }
};

void guiWindowStop() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    vesk::WindowClass windowClass(CS_HREDRAW | CS_VREDRAW, 0, nullptr, unsigned(COLOR_WINDOW),
                                  LoadCursorA(nullptr, IDC_ARROW), instance);
    std::printf("registered class \"%s\"\n", windowClass.getName().c_str());
    Showcase window;
    window.create(windowClass, "Vesk++ tour", WS_POPUP | WS_VISIBLE, vesk::Rect(40, 40, 390, 250), nullptr,
                  nullptr, instance);
    window.update();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        vesk::Window::dispatchMessage(msg);
    const png::Image shot = png::capture(window);
    const std::string file = tour::besideProgram("tour-window.png");
    std::printf("painted %d time(s); screenshot %dx%d %s %s\n", window.paints, shot.width, shot.height,
                png::save(shot, file) ? "saved to" : "could not be saved to", file.c_str());
    window.destroy();
    std::printf("window closed; the object is empty again: %s\n", window.isOpen() ? "no" : "yes");
}

} // namespace

TOUR_STOP(80, "Windows: a painted window and its screenshot", guiWindowStop);
