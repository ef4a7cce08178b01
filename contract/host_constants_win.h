// Facts the plug-in shares with its hosts and tools: where a host finds its
// plug-ins, and the WMI data block the thermal zones come from.
#pragma once

#include <windows.h>

namespace boardscope {

// HKEY_LOCAL_MACHINE key whose values name the host's plug-in classes.
constexpr wchar_t kPluginsKeyPath[] = L"SOFTWARE\\Quendal\\ZEM4\\PLUGINS";
// This plug-in's value there; its data is the class identifier in text form.
constexpr wchar_t kPluginValueName[] = L"Boardscope-CLSID";

// MSAcpi_ThermalZoneTemperature.
constexpr GUID kThermalZoneBlockGuid = {
    0xA1BC18C0, 0xA7C8, 0x11D1, {0xBF, 0x3C, 0x00, 0xA0, 0xC9, 0x06, 0x29, 0x10}};

}  // namespace boardscope
