#include "accessibility.h"

#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>

#include <new>

namespace tarvik::win32 {
namespace {

// The interface's id as the compiler knows it: mingw-w64's 64-bit oleacc
// import library names IID_IAccessible an import from oleacc.dll, and a
// program linked against it reads a code thunk as the GUID.
const IID kIAccessible = __uuidof(IAccessible);

struct Override {
  std::wstring name;
  long role;
  bool childless;
};

// The control's accessible object: the system proxy's, but for the name and
// the role, and without children where the control's items are no business
// of a screen reader.
class OverridingAccessible final : public IAccessible {
 public:
  OverridingAccessible(IAccessible* proxy, const Override& what) : proxy_(proxy), what_(what) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) || riid == kIAccessible) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ::InterlockedIncrement(&references_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }

  // IDispatch: screen readers call IAccessible directly.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible: what the form decides.
  STDMETHODIMP get_accName(VARIANT child, BSTR* name) override {
    if (name == nullptr) return E_POINTER;
    if (!IsSelf(child)) return proxy_->get_accName(child, name);
    *name = ::SysAllocString(what_.name.c_str());
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override {
    if (role == nullptr) return E_POINTER;
    if (!IsSelf(child)) return proxy_->get_accRole(child, role);
    role->vt = VT_I4;
    role->lVal = what_.role;
    return S_OK;
  }
  STDMETHODIMP get_accChildCount(long* count) override {
    if (count == nullptr) return E_POINTER;
    if (!what_.childless) return proxy_->get_accChildCount(count);
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP get_accChild(VARIANT child, IDispatch** dispatch) override {
    if (dispatch == nullptr) return E_POINTER;
    *dispatch = nullptr;
    if (what_.childless) return E_INVALIDARG;
    return proxy_->get_accChild(child, dispatch);
  }
  STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override {
    const HRESULT result = proxy_->accHitTest(x, y, child);
    // An item under the point is the control itself.
    if (what_.childless && result == S_OK && child != nullptr && child->vt == VT_I4 &&
        child->lVal != CHILDID_SELF)
      child->lVal = CHILDID_SELF;
    return result;
  }

  // IAccessible: the system's.
  STDMETHODIMP get_accParent(IDispatch** parent) override { return proxy_->get_accParent(parent); }
  STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override {
    return proxy_->get_accValue(child, value);
  }
  STDMETHODIMP get_accDescription(VARIANT child, BSTR* text) override {
    return proxy_->get_accDescription(child, text);
  }
  STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override {
    return proxy_->get_accState(child, state);
  }
  STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override { return proxy_->get_accHelp(child, help); }
  STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return proxy_->get_accHelpTopic(file, child, topic);
  }
  STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return proxy_->get_accKeyboardShortcut(child, shortcut);
  }
  STDMETHODIMP get_accFocus(VARIANT* child) override { return proxy_->get_accFocus(child); }
  STDMETHODIMP get_accSelection(VARIANT* children) override { return proxy_->get_accSelection(children); }
  STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override {
    return proxy_->get_accDefaultAction(child, action);
  }
  STDMETHODIMP accSelect(long flags, VARIANT child) override { return proxy_->accSelect(flags, child); }
  STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override {
    return proxy_->accLocation(left, top, width, height, child);
  }
  STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return proxy_->accNavigate(direction, start, end);
  }
  STDMETHODIMP accDoDefaultAction(VARIANT child) override { return proxy_->accDoDefaultAction(child); }
  STDMETHODIMP put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  STDMETHODIMP put_accValue(VARIANT, BSTR) override { return E_NOTIMPL; }

 private:
  ~OverridingAccessible() { proxy_->Release(); }
  static bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

  LONG references_ = 1;
  IAccessible* proxy_;
  Override what_;
};

constexpr UINT_PTR kSubclassId = 0x54726B;  // one subclass of ours per control

LRESULT CALLBACK SubclassProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                              DWORD_PTR data) {
  auto* what = reinterpret_cast<Override*>(data);
  switch (message) {
    case WM_GETOBJECT:
      if (static_cast<LONG>(lParam) == OBJID_CLIENT) {
        IAccessible* proxy = nullptr;
        if (SUCCEEDED(::CreateStdAccessibleObject(control, OBJID_CLIENT, kIAccessible,
                                                  reinterpret_cast<void**>(&proxy)))) {
          auto* object = new (std::nothrow) OverridingAccessible(proxy, *what);
          if (object == nullptr) {
            proxy->Release();
            break;
          }
          const LRESULT result = ::LresultFromObject(kIAccessible, wParam, object);
          object->Release();
          return result;
        }
      }
      break;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(control, SubclassProc, kSubclassId);
      delete what;
      break;
    default:
      break;
  }
  return ::DefSubclassProc(control, message, wParam, lParam);
}

}  // namespace

ComApartment::ComApartment() {
  // S_FALSE: the thread had one already; it is counted all the same.
  const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  initialised_ = SUCCEEDED(result);
}

ComApartment::~ComApartment() {
  if (initialised_) ::CoUninitialize();
}

void OverrideAccessible(HWND control, const std::wstring& name, long role, bool childless) {
  if (control == nullptr) return;
  auto* what = new Override{name, role, childless};
  if (!::SetWindowSubclass(control, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(what)))
    delete what;
}

}  // namespace tarvik::win32
