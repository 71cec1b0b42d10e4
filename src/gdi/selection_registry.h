// Library-internal: the device contexts of the library that have objects of
// their callers selected, so that deleting such an object first takes it out.
#pragma once

#include <vesk/config.h>

namespace vesk {
class DeviceContext;
namespace gdi_detail {

void registerContext(DeviceContext* context);
void unregisterContext(DeviceContext* context) noexcept;
// Takes the object out of every registered context it is selected into.
void deselectEverywhere(HGDIOBJ object) noexcept;

} // namespace gdi_detail
} // namespace vesk
