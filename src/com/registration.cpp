// Self-registration: class keys, DirectShow filters, file types and shell
// extension handlers written under HKEY_LOCAL_MACHINE\Software\Classes.
#include <vesk/com/module.h>
#include <vesk/system/module.h>
#include <vesk/system/registry.h>

#include <cstring>
#include <stdexcept>
#include <string>

namespace vesk {

namespace {

// The filter mapper's identifiers, so that the library needs no DirectShow import library.
const GUID CLSID_FilterMapper2_ = {0xCDA42200, 0xBD88, 0x11D0, {0xBD, 0x4E, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
const GUID IID_IFilterMapper2_ = {0xB79BB0B0, 0x33C1, 0x11D1, {0xAB, 0xE1, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};

const char classesKey[] = "Software\\Classes\\";
const char approvedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";

// The filter mapper, made on first use. Register and unregister entry points
// may be called on a thread without COM (regsvr32 is not obliged to start it):
// COM is then started for the time of the call.
class FilterMapper {
public:
    FilterMapper() = default;
    FilterMapper(const FilterMapper&) = delete;
    FilterMapper& operator=(const FilterMapper&) = delete;
    ~FilterMapper() {
        mapper.reset();
        if (startedCOM) CoUninitialize();
    }

    IFilterMapper2* get() {
        if (!mapper) {
            HRESULT hr = CoCreateInstance(CLSID_FilterMapper2_, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2_,
                                          mapper.putVoid());
            if (hr == CO_E_NOTINITIALIZED && !startedCOM) {
                HRESULTHolder::throwOnError(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "Can't start COM");
                startedCOM = true;
                hr = CoCreateInstance(CLSID_FilterMapper2_, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2_,
                                      mapper.putVoid());
            }
            HRESULTHolder::throwOnError(hr, "Can't create the filter mapper");
        }
        return mapper.get();
    }

private:
    COMInterfacePointer<IFilterMapper2, &IID_IFilterMapper2_> mapper;
    bool startedCOM = false;
};

RegistryKey createKey(HKEY parent, const std::string& name) {
    RegistryKey key;
    key.create(parent, name.c_str(), KEY_ALL_ACCESS);
    return key;
}

// The key's default text, or empty when it has none.
BasicString<char> defaultText(RegistryKey& key) {
    return key.existsValue("") ? key.getStringValue("") : BasicString<char>();
}

BasicString<char> nameOf(const COMModule::ClassInfo& info) {
    return info.name ? BasicString<char>(info.name) : BasicString<char>();
}

const COMModule::ShellExtensionFolder folders[] = {
    {"ColumnHandlers", false},
    {"ContextMenuHandlers", false},
    {"CopyHookHandlers", false},
    {"CopyHookHandlers", false},
    {"DragDropHandlers", false},
    {"PropertySheetHandlers", false},
    {"DataHandler", true},
    {"DropHandler", true},
    {"IconHandler", true},
    {"IconHandler", true},
    {"{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}", true},
    {"{00021500-0000-0000-C000-000000000046}", true},
    {"{000214EE-0000-0000-C000-000000000046}", true},
    {"{000214F9-0000-0000-C000-000000000046}", true},
    {"{0000000B-0000-0000-C000-000000000046}", true},
    {"{0000013A-0000-0000-C000-000000000046}", true},
};

const GUID folderInterfaces[] = {
    {0xE8025004, 0x1C42, 0x11D2, {0xBE, 0x2C, 0x00, 0xA0, 0xC9, 0xA8, 0x3D, 0xA1}}, // IColumnProvider
    {0x000214E4, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IContextMenu
    {0x000214EF, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // ICopyHookA
    {0x000214FC, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // ICopyHookW
    {0x000214E4, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IContextMenu (drag and drop)
    {0x000214E9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IShellPropSheetExt
    {0x0000010E, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IDataObject
    {0x00000122, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IDropTarget
    {0x000214EB, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IExtractIconA
    {0x000214FA, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IExtractIconW
    {0xBB2E617C, 0x0920, 0x11D1, {0x9A, 0x0B, 0x00, 0xC0, 0x4F, 0xC2, 0xD6, 0xC1}}, // IExtractImage
    {0x00021500, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IQueryInfo
    {0x000214EE, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IShellLinkA
    {0x000214F9, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IShellLinkW
    {0x0000000B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IStorage
    {0x0000013A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}}, // IPropertySetStorage
};

} // namespace

const COMModule::ShellExtensionFolder& COMModule::getShellExtensionFolder(const GUID& handlerInterface) {
    for (unsigned i = 0; i < sizeof(folders) / sizeof(folders[0]); ++i)
        if (std::memcmp(&folderInterfaces[i], &handlerInterface, sizeof(GUID)) == 0) return folders[i];
    throw std::runtime_error("No shell extension folder name found fo " + toAString(handlerInterface, true));
}

void COMModule::registerShellExtension(const RegistryKey& typeKey, const ClassInfo& info) {
    const BasicString<char> clsid = toAString(*info.clsid, false);
    const ShellExtensionFolder& folder = getShellExtensionFolder(*info.shellExtension->handlerInterface);
    std::string path = std::string("ShellEx\\") + folder.name;
    if (!folder.single) path += "\\" + clsid;
    createKey(typeKey, path).setValue("", clsid.c_str());
    createKey(HKEY_LOCAL_MACHINE, approvedKey).setValue(clsid.c_str(), nameOf(info).c_str());
}

long COMModule::registerClasses(HINSTANCE instance) const {
    return catchToHRESULT([&] {
        const BasicString<char> file = WindowsModule(instance).getFilenameT();
        FilterMapper mapper;
        for (unsigned i = 0; i < classCount; ++i) {
            const ClassInfo& info = classes[i];
            const BasicString<char> clsid = toString(*info.clsid);
            RegistryKey classKey = createKey(HKEY_LOCAL_MACHINE, classesKey + std::string("CLSID\\") + clsid);
            classKey.setValue("", nameOf(info).c_str());
            const char* serverName = info.getServerTypeA();
            RegistryKey server = createKey(classKey, serverName);
            server.setValue("", file.c_str());
            server.setValue("ThreadingModel", info.getThreadingModelA());
            if (server.existsValue(serverName)) server.deleteValue(serverName);

            if (info.filter) {
                REGFILTER2 filter;
                std::memset(&filter, 0, sizeof filter);
                filter.dwVersion = 2;
                filter.dwMerit = info.filter->merit;
                filter.cPins2 = info.filter->pinCount;
                filter.rgPins2 = info.filter->pins;
                HRESULTHolder::throwOnError(mapper.get()->RegisterFilter(*info.clsid, info.name, nullptr,
                                                                          info.filter->category, nullptr, &filter),
                                            ("Can't register the filter " + clsid).c_str());
            }

            if (!info.shellExtension) continue;
            const FileTypeInfo* type = info.shellExtension->fileTypes;
            if (!type) throw std::runtime_error("Can't register the shell extension " + clsid + ": it has no file type");
            if (!type->typeId) {
                if (!type->typeName)
                    throw std::runtime_error("Can't register the shell extension " + clsid +
                                             ": its file type has neither a type identifier nor a type name");
                registerShellExtension(createKey(HKEY_LOCAL_MACHINE, classesKey + std::string(type->typeName)), info);
                continue;
            }
            const BasicString<char> typeId = toString(*type->typeId);
            // Each extension leads to its type key: the one it names already, else
            // the one named by the type identifier.
            const unsigned extensions = type->extensions ? type->extensionCount : 0;
            for (unsigned e = 0; e < (extensions ? extensions : 1); ++e) {
                BasicString<char> typeKeyName = typeId;
                if (extensions) {
                    RegistryKey extension = createKey(HKEY_LOCAL_MACHINE, classesKey + std::string(type->extensions[e]));
                    const BasicString<char> named = defaultText(extension);
                    if (named.empty())
                        extension.setValue("", typeId.c_str());
                    else
                        typeKeyName = named;
                }
                RegistryKey typeKey = createKey(HKEY_LOCAL_MACHINE, classesKey + typeKeyName);
                if (type->iconId != 0) {
                    RegistryKey icon = createKey(typeKey, "DefaultIcon");
                    if (defaultText(icon).empty())
                        icon.setValue("", (std::string(file) + "," + std::to_string(-static_cast<long long>(type->iconId))).c_str());
                }
                // A row without a type name leaves an empty type key's text alone.
                if (type->typeName && defaultText(typeKey).empty()) typeKey.setValue("", type->typeName);
                registerShellExtension(typeKey, info);
            }
        }
        return S_OK;
    });
}

long COMModule::unregisterClasses() const {
    return catchToHRESULT([&] {
        RegistryKey clsidKey;
        if (!clsidKey.open(HKEY_LOCAL_MACHINE, (classesKey + std::string("CLSID")).c_str(), KEY_ALL_ACCESS)) return S_OK;
        FilterMapper mapper;
        for (unsigned i = 0; i < classCount; ++i) {
            const ClassInfo& info = classes[i];
            const BasicString<char> clsid = toString(*info.clsid);
            if (info.filter) {
                const HRESULT hr = mapper.get()->UnregisterFilter(info.filter->category, nullptr, *info.clsid);
                // A filter that is not registered (any more) is what was wanted.
                if (hr != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
                    HRESULTHolder::throwOnError(hr, ("Can't unregister the filter " + clsid).c_str());
            }
            if (clsidKey.existsKey(clsid.c_str())) clsidKey.deleteKeyRecursive(clsid.c_str());
        }
        return S_OK;
    });
}

} // namespace vesk
