// The interface halves of shell extensions and file persistence: argument
// checks, the memory the caller frees, and exceptions turned into HRESULTs.
#include <vesk/com/shell_extension.h>

#include <vesk/com/com_error.h>
#include <vesk/com/malloc.h>

#include "com_internal.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

namespace vesk {

namespace {

// Copies text with its terminating zero into memory of the given allocator.
wchar_t* copyToAllocator(IMalloc* allocator, const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    auto* copy = static_cast<wchar_t*>(allocator ? allocator->Alloc(bytes) : nullptr);
    if (copy)
        std::memcpy(copy, text.c_str(), bytes);
    return copy;
}

} // namespace

// ---- IShellExtInitImpl ---------------------------------------------------------------

HRESULT STDMETHODCALLTYPE IShellExtInitImpl::Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject,
                                                        HKEY progIdKey) {
    if (!dataObject)
        return E_POINTER;
    if (!progIdKey)
        return E_INVALIDARG;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    const HRESULT got = dataObject->GetData(&format, &medium);
    if (FAILED(got))
        return got;
    const HRESULT result = catchToHRESULT([&]() -> HRESULT {
        if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal)
            return DV_E_TYMED;
        HDROP drop = static_cast<HDROP>(medium.hGlobal);
        std::list<BasicString<char>> files;
        const UINT count = DragQueryFileA(drop, 0xFFFFFFFF, nullptr, 0);
        std::vector<char> buffer;
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileA(drop, i, nullptr, 0);
            buffer.assign(length + 1, '\0');
            const UINT copied = DragQueryFileA(drop, i, buffer.data(), length + 1);
            files.push_back(BasicString<char>(buffer.data(), copied < length ? copied : length));
        }
        initialize(files);
        return S_OK;
    });
    ReleaseStgMedium(&medium);
    return result;
}

IShellExtInitImpl::~IShellExtInitImpl() = default;

// ---- IContextMenuImpl -----------------------------------------------------------------

HRESULT STDMETHODCALLTYPE IContextMenuImpl::QueryContextMenu(HMENU menu, UINT position, UINT firstId, UINT lastId,
                                                             UINT flags) {
    if (!menu || lastId < firstId)
        return E_INVALIDARG;
    if (flags & CMF_DEFAULTONLY)
        return S_OK;
    return catchToHRESULT([&]() -> HRESULT {
        const unsigned range = lastId - firstId + 1;
        const unsigned added = addMenuItems(menu, position, firstId, range, flags);
        // More commands than identifiers would let InvokeCommand accept offsets
        // the shell never gave out.
        commandCount = added < range ? added : range;
        return MAKE_HRESULT(SEVERITY_SUCCESS, 0, commandCount & 0xFFFF);
    });
}

HRESULT STDMETHODCALLTYPE IContextMenuImpl::InvokeCommand(CMINVOKECOMMANDINFO* info) {
    if (!info)
        return E_POINTER;
    // The record's size in this width; a verb given as text is not served.
    if (info->cbSize < sizeof(CMINVOKECOMMANDINFO) || !IS_INTRESOURCE(info->lpVerb))
        return E_INVALIDARG;
    const unsigned offset = LOWORD(reinterpret_cast<ULONG_PTR>(info->lpVerb));
    if (offset >= commandCount)
        return E_INVALIDARG;
    return catchToHRESULT([&]() -> HRESULT {
        invokeCommand(offset, info->fMask, info->hwnd);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE IContextMenuImpl::GetCommandString(UINT_PTR command, UINT type, UINT*, LPSTR buffer,
                                                             UINT size) {
    if (command >= commandCount || !(type & GCS_HELPTEXTA))
        return E_INVALIDARG;
    if (!buffer)
        return E_POINTER;
    // Not even the terminating zero fits.
    if (size == 0)
        return E_INVALIDARG;
    return catchToHRESULT([&]() -> HRESULT {
        const BasicString<char> text = getCommandHelp(unsigned(command));
        if (type & GCS_UNICODE) {
            const std::wstring wide = com_internal::fromAnsi(text.data(), text.size());
            auto* out = reinterpret_cast<wchar_t*>(buffer);
            const std::size_t n = wide.size() < size - 1 ? wide.size() : size - 1;
            std::memcpy(out, wide.data(), n * sizeof(wchar_t));
            out[n] = L'\0';
        } else {
            lstrcpynA(buffer, text.c_str(), int(size));
        }
        return S_OK;
    });
}

IContextMenuImpl::~IContextMenuImpl() = default;

// ---- IQueryInfoImpl -------------------------------------------------------------------

HRESULT STDMETHODCALLTYPE IQueryInfoImpl::GetInfoTip(DWORD, LPWSTR* tip) {
    if (!tip)
        return E_POINTER;
    *tip = nullptr;
    return catchToHRESULT([&]() -> HRESULT {
        const BasicString<wchar_t> text = getInfoTip();
        COMInterfacePointer<IMalloc> allocator = getShellMalloc();
        wchar_t* copy = copyToAllocator(allocator.get(), text);
        if (!copy)
            return E_OUTOFMEMORY;
        *tip = copy;
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE IQueryInfoImpl::GetInfoFlags(DWORD* flags) {
    if (!flags)
        return E_POINTER;
    *flags = 0;
    return S_OK;
}

IQueryInfoImpl::~IQueryInfoImpl() = default;

// ---- ISpecifyPropertyPagesImpl -------------------------------------------------------------

// The record is an output: whatever it holds on entry is not the caller's
// memory to free, so it is overwritten, never freed.
HRESULT STDMETHODCALLTYPE ISpecifyPropertyPagesImpl::GetPages(CAUUID* pages) {
    if (!pages)
        return E_POINTER;
    pages->cElems = 0;
    pages->pElems = nullptr;
    return catchToHRESULT([&]() -> HRESULT {
        const unsigned count = getPageCount();
        if (count == 0)
            return S_OK;
        auto* array = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID) * count));
        if (!array)
            return E_OUTOFMEMORY;
        try {
            for (unsigned i = 0; i < count; ++i)
                array[i] = getPage(i);
        } catch (...) {
            CoTaskMemFree(array);
            throw;
        }
        pages->cElems = count;
        pages->pElems = array;
        return S_OK;
    });
}

ISpecifyPropertyPagesImpl::~ISpecifyPropertyPagesImpl() = default;

// ---- IPersistImpl and IPersistFileImpl --------------------------------------------------------

HRESULT STDMETHODCALLTYPE IPersistImpl::GetClassID(CLSID* out) {
    if (!out)
        return E_POINTER;
    return catchToHRESULT([&]() -> HRESULT {
        *out = getClassID();
        return S_OK;
    });
}

const GUID& IPersistImpl::getClassID() { return classId; }
IPersistImpl::~IPersistImpl() = default;

HRESULT STDMETHODCALLTYPE IPersistFileImpl::GetClassID(CLSID* out) { return IPersistImpl::GetClassID(out); }

HRESULT STDMETHODCALLTYPE IPersistFileImpl::IsDirty() {
    return catchToHRESULT([&]() -> HRESULT { return isDirty() ? S_OK : S_FALSE; });
}

HRESULT STDMETHODCALLTYPE IPersistFileImpl::Load(LPCOLESTR fileName, DWORD mode) {
    if (!fileName)
        return E_POINTER;
    return catchToHRESULT([&]() -> HRESULT {
        load(fileName, mode);
        return S_OK;
    });
}

HRESULT STDMETHODCALLTYPE IPersistFileImpl::GetCurFile(LPOLESTR* name) {
    if (!name)
        return E_POINTER;
    *name = nullptr;
    return catchToHRESULT([&]() -> HRESULT {
        BasicString<wchar_t> text = getCurrentFile();
        HRESULT result = S_OK;
        if (text.empty()) {
            text = getDefaultFile();
            result = S_FALSE;
        }
        COMInterfacePointer<IMalloc> allocator = getCOMMalloc();
        wchar_t* copy = copyToAllocator(allocator.get(), text);
        if (!copy)
            return E_OUTOFMEMORY;
        *name = copy;
        return result;
    });
}

IPersistFileImpl::~IPersistFileImpl() = default;

} // namespace vesk
