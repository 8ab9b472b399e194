// In-process automation server standing in for the IIS administration
// namespace ("IISNamespace") under Wine. Three kinds of object:
//   namespace   GetObject("IIsWebService", "127.0.0.1/w3svc") -> web service
//   web service GetObject("IIsWebServer", n) -> web site n, when n is listed
//   web site    Start
// Behaviour from HKCU\Software\Tenvox\IISSim (REG_SZ values):
//   Sites      site numbers that exist, comma separated ("3", "1,3")
//   StartFail  text: Start raises an OLE exception with this description
//   Log        file to which every call is appended, one line each:
//              "<object> <member> <arguments> -> <outcome>", where an
//              argument is written i4:<n> or str:<text> by its VARIANT type
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace {

const CLSID kNamespace = {0xB1A9C6E2, 0x1111, 0x4000, {0x80, 0, 0, 0, 0, 0, 0, 0xB1}};

LONG g_objects = 0;

std::wstring Setting(const wchar_t* name) {
  wchar_t buf[512];
  DWORD size = sizeof buf;
  if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Tenvox\\IISSim", name, RRF_RT_REG_SZ, nullptr,
                   buf, &size) != ERROR_SUCCESS)
    return L"";
  return buf;
}

void Log(const std::wstring& line) {
  const std::wstring file = Setting(L"Log");
  if (file.empty()) return;
  HANDLE h = CreateFileW(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  const std::wstring text = line + L"\r\n";
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), s.data(), n,
                      nullptr, nullptr);
  DWORD written = 0;
  WriteFile(h, s.data(), static_cast<DWORD>(s.size()), &written, nullptr);
  CloseHandle(h);
}

// An argument as the log writes it; the text alone in *plain.
std::wstring Describe(const VARIANT& v, std::wstring* plain) {
  VARIANT t;
  VariantInit(&t);
  std::wstring text = L"?";
  if (SUCCEEDED(VariantChangeType(&t, const_cast<VARIANT*>(&v), 0, VT_BSTR)))
    text = t.bstrVal ? t.bstrVal : L"";
  VariantClear(&t);
  if (plain) *plain = text;
  switch (v.vt) {
    case VT_I4: return L"i4:" + text;
    case VT_I2: return L"i2:" + text;
    case VT_BSTR: return L"str:" + text;
    default: return L"vt" + std::to_wstring(v.vt) + L":" + text;
  }
}

bool SiteExists(const std::wstring& n) {
  const std::wstring sites = L"," + Setting(L"Sites") + L",";
  return !n.empty() && sites.find(L"," + n + L",") != std::wstring::npos;
}

HRESULT Raise(EXCEPINFO* info, const std::wstring& text) {
  if (info) {
    *info = {};
    info->scode = E_FAIL;
    info->bstrSource = SysAllocString(L"IISSim");
    info->bstrDescription = SysAllocString(text.c_str());
  }
  return DISP_E_EXCEPTION;
}

enum class Kind { Namespace, Service, Site };
enum : DISPID { kGetObject = 1, kStart = 2 };

class Object final : public IDispatch {
 public:
  Object(Kind kind, std::wstring name) : kind_(kind), name_(std::move(name)) {
    InterlockedIncrement(&g_objects);
  }
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *out = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) {
      InterlockedDecrement(&g_objects);
      delete this;
    }
    return n;
  }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override { *n = 0; return S_OK; }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      ids[i] = DISPID_UNKNOWN;
      if (kind_ != Kind::Site && lstrcmpiW(names[i], L"GetObject") == 0) ids[i] = kGetObject;
      if (kind_ == Kind::Site && lstrcmpiW(names[i], L"Start") == 0) ids[i] = kStart;
      if (ids[i] == DISPID_UNKNOWN) {
        Log(name_ + L" " + names[i] + L" -> unknown name");
        hr = DISP_E_UNKNOWNNAME;
      }
    }
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* info, UINT*) override {
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (id == kStart && kind_ == Kind::Site) {
      if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
      const std::wstring fail = Setting(L"StartFail");
      Log(name_ + L" Start -> " + (fail.empty() ? L"started" : L"raised"));
      return fail.empty() ? S_OK : Raise(info, fail);
    }
    if (id != kGetObject || kind_ == Kind::Site) return DISP_E_MEMBERNOTFOUND;
    if (!params || params->cArgs != 2) return DISP_E_BADPARAMCOUNT;
    // Arguments come last first.
    std::wstring cls, path;
    const std::wstring call = name_ + L" GetObject " + Describe(params->rgvarg[1], &cls) + L" " +
                              Describe(params->rgvarg[0], &path) + L" -> ";
    Object* found = nullptr;
    if (kind_ == Kind::Namespace && cls == L"IIsWebService" && path == L"127.0.0.1/w3svc")
      found = new Object(Kind::Service, L"service");
    else if (kind_ == Kind::Service && cls == L"IIsWebServer" && SiteExists(path))
      found = new Object(Kind::Site, L"site" + path);
    if (!found) {
      Log(call + L"raised");
      return Raise(info, L"no object " + cls + L" " + path);
    }
    Log(call + L"found");
    if (result) {
      VariantInit(result);
      result->vt = VT_DISPATCH;
      result->pdispVal = found;
    } else {
      found->Release();
    }
    return S_OK;
  }

 private:
  Kind kind_;
  std::wstring name_;
  LONG refs_ = 1;
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Log(L"namespace created");
    Object* o = new Object(Kind::Namespace, L"namespace");
    const HRESULT hr = o->QueryInterface(iid, out);
    o->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

Factory g_factory;

}  // namespace

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid == kNamespace) return g_factory.QueryInterface(iid, out);
  *out = nullptr;
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }
